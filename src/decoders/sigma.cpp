#include "decoders/registry.h"

namespace zindra::decoders {

// Not built yet: the reply that names this protocol is treated as unknown.
std::unique_ptr<Decoder> makeSigmaDecoder() { return nullptr; }

}  // namespace zindra::decoders
