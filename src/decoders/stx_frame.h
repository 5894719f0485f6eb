// The STX-framed telegrams of UGM, UEZ, TN1060 and SDN: how they end, how the
// UGM line renders them, and the call that assembles and renders one.
#pragma once

#include <cstdint>

#include "decoders/decoder.h"
#include "decoders/framing.h"
#include "decoders/render.h"
#include "decoders/state.h"

namespace zindra::decoders {

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

// Whether an STX telegram of the given end is complete.
struct StxCloses {
    StxFrameEnd end;
    bool operator()(const std::uint8_t* buffer, std::int32_t length) const {
        if (end == StxFrameEnd::Fixed15) return length >= 15;
        // The telegram ends with the byte that follows the first raw ETX (its
        // check byte); one that never brings an ETX is cut off at 37 bytes.
        return byteBeforeLast(buffer, length) == FrameEndByte || length > 36;
    }
};

// One decoder call of the STX family.  An STX opens a telegram when none is
// open; inside one every byte is stored, an STX included.  A telegram
// inherited from another decoder that is already at (or past) its end closes
// with the next byte; one that fills the buffer closes at once.  Stray bytes
// and telegrams are rendered with style; event(frame) then writes a closed
// telegram's event from its copy of the frame.
template <class Event>
void decodeStxTelegrams(DecoderState& st, DecoderOutput& out, StxFrameEnd end, const RenderStyle& style,
                        Event event) {
    FrameOptions options;
    options.fullAt = FrameBufferSize - 1;
    decodeFrames(
        st, out, isStx, StxCloses{end}, options,
        [&](std::uint8_t b) { renderBytes(&b, 1, style, out.textLine, out.hexLine); },
        [&](Frame& frame) {
            renderBytes(frame.data(), st.frameLength, style, out.textLine, out.hexLine);
            event(frame);
        });
}

// Lines up a telegram another decoder began with its STX (see alignToMarker);
// position 1 is always searched.
bool alignStx(Frame& frame, int length);

}  // namespace zindra::decoders
