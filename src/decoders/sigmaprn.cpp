// SIGMAPRN: printer lines of a SIGMA panel, STX .. ETX, at most 100 bytes,
// rendered only; long lines spill into the header lines.  The SM88 printer
// sends the same lines.
#include "decoders/registry.h"
#include "decoders/stx_printer.h"

namespace zindra::decoders {

std::unique_ptr<Decoder> makeSigmaPrnDecoder() { return makeStxPrinterDecoder(Protocol::SigmaPrn); }

}  // namespace zindra::decoders
