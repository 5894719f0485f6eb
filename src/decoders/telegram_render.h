// Rendering shared by the decoders whose long lines spill into a header line
// (SIGMA and the SIGMA, SM88 and SECURITON printers).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "decoders/decoder.h"
#include "decoders/render.h"
#include "decoders/state.h"

namespace zindra::decoders {

// A text or hex rendering that grows to this many characters is handed over
// as the header line and the line starts again empty.
inline constexpr std::size_t HeaderSplitAt = 240;

// Renders n bytes into out.textLine and out.hexLine (both emptied first) and
// empties both headers.  Remapping, names, the nameAt predicate and the
// character range come from style; a byte that is not named is shown as itself
// only when its index is charsFrom or more.  After each byte, a text (hex) of
// HeaderSplitAt characters or more becomes out.textHeader (out.hexHeader),
// replacing an earlier one, and the line starts again empty.
void renderWithHeaders(const std::uint8_t* bytes, int n, const RenderStyle& style, int charsFrom,
                       DecoderOutput& out);

// The SIGMA and SM88 printers: lines from STX to ETX of at most 100 bytes,
// rendered with the header split; control bytes are named only at indexes
// 0 .. 2 and from 61 on, characters shown from index 3 on, no event lines.
std::unique_ptr<Decoder> makeStxPrinterDecoder();

// True when one of the positions 0 .. 20 holds STX.
bool stxNearStart(const std::array<std::uint8_t, FrameBufferSize>& frame);

}  // namespace zindra::decoders
