// Pieces shared by the STX-framed decoders (UGM, UEZ, TN1060, SDN) and the
// decoders that report fault and disablement changes (TN1060, EBL).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "decoders/decoder.h"
#include "decoders/render.h"
#include "decoders/state.h"

namespace zindra::decoders {

// A private copy of all 256 bytes of FrameBuffer.  Rendering and event
// routines read (and the STX search rearranges) the copy, never FrameBuffer.

// A frame that another decoder left open can already fill FrameBuffer (or
// hold a length no frame can have).  Such a frame closes as it stands, before
// another byte is taken, so nothing is written past the buffer and
// FrameLength stays below 256.
inline bool frameFull(const DecoderState& st) {
    return st.frameLength < 0 || st.frameLength >= FrameBufferSize - 1;
}

// The UGM line's rendering: 0xE8..0xEF, 0xF8, 0x18 and 0x19 stand for other
// values (0x00..0x07, DLE, "0", "1"); STX, ETX, EOT, ENQ and DLE are named;
// 0x2A..0x3F are shown as characters.  UEZ renders the same way, TN1060 with
// a wider character range.
const RenderStyle& ugmRenderStyle();

// How an STX-framed telegram ends.
enum class StxFrameEnd {
    AfterEtx,  // with the byte after the first raw ETX, or at 37 bytes
    Fixed15,   // at 15 bytes; ETX has no part in it
};

// What one run of the STX frame assembly found.
enum class StxStep {
    Closed,  // a telegram closed; it is rendered into out, FrameLength holds its length
    Stray,   // a byte outside any telegram was rendered into out
    Empty,   // the ring ran empty (moreData cleared); an open telegram stays open
};

// Takes bytes from the ring until a telegram closes, a stray byte turns up or
// the ring is empty.  An STX opens a telegram when none is open; inside one
// every byte is stored, an STX included.  A telegram inherited from another
// decoder that is already at (or past) its end closes with the next byte; a
// full one (frameFull) closes at once.  On Closed, frame holds a copy of
// FrameBuffer for the event routine to work on.  The caller has emptied out
// and set moreData.
StxStep assembleStxFrame(DecoderState& st, StxFrameEnd end, const RenderStyle& style,
                         DecoderOutput& out, Frame& frame);

// Makes the frame start with STX: if position 0 is not STX, an STX is looked
// for at positions 1 .. length-15 (at least position 1) and moved to position
// 0 with the bytes behind it.  false when there is none.  Only a frame that
// another decoder began can lack the STX at position 0.
bool moveStxToFront(Frame& frame, int length);

// The only error text of the event routines.
inline constexpr const char* EvaluationProblem = "Problem bei der Auswertung";

// Appends value in decimal, padded on the left with "0" to zeroWidth
// characters and then with " " to width characters.  The padding counts
// characters, so -5 with (3, 6) gives "   0-5".
void appendPadded(std::string& out, std::int32_t value, int zeroWidth, int width);

// The four-column event line: A, B, C in decimal and C in hex, four spaces
// between the columns ("   786       07       65    41").
void appendNumberEvent(std::string& out, std::int32_t a, std::int32_t b, std::uint8_t c);

// Fault and disablement as the panel last reported them and as we last wrote
// them to the event pane.  Lives as long as the decoder object, across traces.
struct FaultMemory {
    bool fault = false;
    bool disablement = false;
    bool reportedFault = false;
    bool reportedDisablement = false;

    // Writes the change since the last report into out (left empty when
    // nothing changed).  A fault change outranks a disablement change in
    // the text; both are recorded as reported.
    void reportChanges(std::string& out);
};

}  // namespace zindra::decoders
