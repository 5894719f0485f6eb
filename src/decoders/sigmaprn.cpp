// SIGMAPRN: printer lines of a SIGMA panel, STX .. ETX, at most 100 bytes,
// rendered only; long lines spill into the header lines.  The SM88 printer
// sends the same lines.
#include "decoders/registry.h"
#include "decoders/telegram_render.h"

namespace zindra::decoders {

std::unique_ptr<Decoder> makeSigmaPrnDecoder() { return makeStxPrinterDecoder(); }

}  // namespace zindra::decoders
