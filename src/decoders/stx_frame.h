// The STX-framed telegrams of UGM, UEZ, TN1060 and SDN: how they end, how the
// UGM line renders them, and the call that assembles and renders one.
#pragma once

#include "decoders/decoder.h"
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

// Takes bytes until a telegram closes, a stray byte turns up or the ring is
// empty, and renders what it found into out.  An STX opens a telegram when
// none is open; inside one every byte is stored, an STX included.  A telegram
// inherited from another decoder that is already at (or past) its end closes
// with the next byte; one that fills the buffer closes at once.  Returns true
// when a telegram closed: frame then holds a copy of frameBuffer for the
// event routine.  The caller has emptied out and set moreData.
bool decodeStxFrame(DecoderState& st, StxFrameEnd end, const RenderStyle& style, DecoderOutput& out,
                    Frame& frame);

// Lines up a telegram another decoder began with its STX (see alignToMarker);
// position 1 is always searched.
bool alignStx(Frame& frame, int length);

}  // namespace zindra::decoders
