// Helpers shared by the length-counted telegram decoders (SM88, SIGMA) and the
// printer-line decoders whose long lines spill into a header line.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

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

// Brings the frame's STX to position 0 when another decoder left the frame
// starting elsewhere: if position 0 is not STX, positions 1 .. length - 15
// (position 1 at least) are searched and the bytes from the first STX found
// on, up to position length, are moved to the front.  false when none is found.
bool alignFrameStart(std::array<std::uint8_t, FrameBufferSize>& frame, int length);

// True when one of the positions 0 .. 20 holds STX.
bool stxNearStart(const std::array<std::uint8_t, FrameBufferSize>& frame);

// Appends a number's decimal text padded on the left, by characters, first
// with "0" to zeroWidth and then with " " to spaceWidth ("-5" at 3/6 gives
// "   0-5").
void appendPadded(std::string& out, std::string_view digits, std::size_t zeroWidth, std::size_t spaceWidth);
void appendPadded(std::string& out, std::int64_t value, std::size_t zeroWidth, std::size_t spaceWidth);
void appendPadded(std::string& out, std::uint64_t value, std::size_t zeroWidth, std::size_t spaceWidth);

// The text every decoder gives for a frame it cannot place.
inline constexpr std::string_view EvaluationProblem = "Problem bei der Auswertung";

}  // namespace zindra::decoders
