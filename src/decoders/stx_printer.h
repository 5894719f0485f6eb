// The printer lines of SIGMA and SM88 panels, which send the same lines.
#pragma once

#include <memory>

#include "decoders/decoder.h"
#include "decoders/protocol.h"

namespace zindra::decoders {

// Lines from STX to ETX of at most 100 bytes, rendered with the header split;
// control bytes are named only at indexes 0 .. 2 and from 61 on, characters
// shown from index 3 on.  No event lines; each line is recorded as a printer
// line of protocol p, its text from index 3 on.
std::unique_ptr<Decoder> makeStxPrinterDecoder(Protocol p);

}  // namespace zindra::decoders
