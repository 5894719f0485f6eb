// The rendering of the decoders whose long lines spill into a header line
// (SIGMA and the SIGMA, SM88 and SECURITON printers).
#pragma once

#include <cstddef>
#include <cstdint>

#include "decoders/decoder.h"
#include "decoders/render.h"

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

}  // namespace zindra::decoders
