// The frame loop most decoders share: a start byte opens a frame, bytes
// outside a frame are shown one at a time, and a decoder-specific test closes
// the frame after each stored byte.
#pragma once

#include <array>
#include <cstdint>

#include "decoders/state.h"

namespace zindra::decoders {

enum class FrameStep {
    Empty,   // the ring ran dry; MoreData is false, an open frame stays open
    Stray,   // one byte outside any frame (also left in FrameBuffer[0])
    Closed,  // a frame is complete; InFrame is false
};

// Takes bytes until one of the three steps.  opens(b) tells whether a byte
// outside a frame starts one; inside a frame every byte is stored (a start
// byte too) and closes(state) decides after each whether the frame is
// complete.  Every closes() must hold once FrameLength reaches 256, so that
// nothing is ever stored past the buffer.  On Closed, frame is a copy of
// FrameBuffer for the rendering and event routines to work on; on Stray,
// stray is the byte.
template <class Opens, class Closes>
FrameStep nextFrame(DecoderState& st, Opens opens, Closes closes, std::uint8_t& stray,
                    std::array<std::uint8_t, FrameBufferSize>& frame) {
    while (!st.ringEmpty()) {
        const std::uint8_t b = st.takeByte();
        if (!st.inFrame) {
            if (opens(b)) {
                st.inFrame = true;
                st.frameLength = 0;
                st.storeByte(b);
                continue;
            }
            st.frameBuffer[0] = b;
            stray = b;
            return FrameStep::Stray;
        }
        st.storeByte(b);
        if (closes(st)) {
            st.inFrame = false;
            frame = st.frameBuffer;
            return FrameStep::Closed;
        }
    }
    st.moreData = false;
    return FrameStep::Empty;
}

inline bool isStx(std::uint8_t b) { return b == FrameStartByte; }
inline bool anyByte(std::uint8_t) { return true; }

// The byte stored last.
inline std::uint8_t lastByte(const DecoderState& st) {
    return st.frameBuffer[static_cast<std::size_t>(st.frameLength - 1)];
}

// The byte before the last one stored, 0 while fewer than two are stored.
inline std::uint8_t byteBeforeLast(const DecoderState& st) {
    return st.frameLength >= 2 ? st.frameBuffer[static_cast<std::size_t>(st.frameLength - 2)] : 0;
}

}  // namespace zindra::decoders
