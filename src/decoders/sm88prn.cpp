// SM88PRN: printer lines of an SM88 panel, STX .. ETX, at most 100 bytes,
// rendered only; long lines spill into the header lines.  The SIGMA printer
// sends the same lines.
#include "decoders/registry.h"
#include "decoders/stx_printer.h"

namespace zindra::decoders {

std::unique_ptr<Decoder> makeSm88PrnDecoder() { return makeStxPrinterDecoder(Protocol::Sm88Prn); }

}  // namespace zindra::decoders
