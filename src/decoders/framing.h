// The frame loop every frame-assembling decoder runs, and the search that
// brings a frame another decoder began into line with its start marker.
#pragma once

#include <cstdint>

#include "decoders/decoder.h"
#include "decoders/state.h"

namespace zindra::decoders {

enum class FrameStep {
    Empty,   // the ring ran dry; moreData is false, an open frame stays open
    Stray,   // one byte outside any frame (also left in frameBuffer[0])
    Closed,  // a frame is complete; inFrame is false
};

// How a decoder's frames differ beyond opens() and closes().
struct FrameOptions {
    // An open frame holding this many bytes or more (one another decoder left)
    // closes as it stands, before another byte is taken.  The default never
    // applies.
    int fullAt = FrameBufferSize + 1;
    // With fullAt: the full frame closes only while a byte waits in the ring.
    bool fullNeedsData = false;
    // A byte for which opens() holds opens a new frame inside an open one too;
    // the unfinished frame is dropped unseen.
    bool opensInside = false;
    // The opening byte is not stored: it comes back as a Stray byte, and the
    // frame starts empty behind it.
    bool openerApart = false;
};

// Takes bytes until one of the three steps.  opens(b) tells whether a byte
// outside a frame starts one; inside a frame every byte is stored and
// closes(buffer, length) decides after each whether the frame is complete.
// closes() must hold once length reaches 256, so nothing is ever stored past
// the buffer.  On Closed, frame is a copy of frameBuffer for the rendering and
// event routines to work on; on Stray, stray is the byte.
template <class Opens, class Closes>
FrameStep nextFrame(DecoderState& st, Opens opens, Closes closes, const FrameOptions& opt,
                    std::uint8_t& stray, Frame& frame) {
    // The ring indexes and the frame state live in locals for the loop and go
    // back at every exit: byte stores into the frame buffer would otherwise
    // make the compiler reload them for every byte.
    std::int32_t readIndex = st.readIndex;
    const std::int32_t writeIndex = st.writeIndex;
    std::int32_t length = st.frameLength;
    bool inFrame = st.inFrame;
    const std::uint8_t* ring = st.receiveRing.data();
    std::uint8_t* buffer = st.frameBuffer.data();
    const auto writeBack = [&] {
        st.readIndex = readIndex;
        st.frameLength = length;
        st.inFrame = inFrame;
    };
    for (;;) {
        const bool full = inFrame && (length >= opt.fullAt || length < 0);
        if (full && !opt.fullNeedsData) break;
        if (readIndex == writeIndex) {
            writeBack();
            st.moreData = false;
            return FrameStep::Empty;
        }
        if (full) break;
        const std::uint8_t b = ring[readIndex];
        readIndex = readIndex >= 1024 ? 0 : readIndex + 1;
        if (!inFrame || (opt.opensInside && opens(b))) {
            buffer[0] = b;
            if (opens(b)) {
                inFrame = true;
                length = opt.openerApart ? 0 : 1;
                if (!opt.openerApart) continue;
            }
            writeBack();
            stray = b;
            return FrameStep::Stray;
        }
        buffer[length++] = b;
        if (closes(static_cast<const std::uint8_t*>(buffer), length)) break;
    }
    inFrame = false;
    writeBack();
    frame = st.frameBuffer;
    return FrameStep::Closed;
}

// One call of a frame-assembling decoder: empties out, sets moreData and runs
// nextFrame; then onStray(b) renders a byte outside any frame, or
// onClosed(frame) renders a completed frame (its length in st.frameLength)
// and writes its event.
template <class Opens, class Closes, class OnStray, class OnClosed>
void decodeFrames(DecoderState& st, DecoderOutput& out, Opens opens, Closes closes, const FrameOptions& opt,
                  OnStray onStray, OnClosed onClosed) {
    out.clear();
    st.moreData = true;
    std::uint8_t b = 0;
    Frame frame;
    switch (nextFrame(st, opens, closes, opt, b, frame)) {
        case FrameStep::Stray: onStray(b); return;
        case FrameStep::Closed: onClosed(frame); return;
        case FrameStep::Empty: return;
    }
}

inline bool isStx(std::uint8_t b) { return b == FrameStartByte; }
inline bool anyByte(std::uint8_t) { return true; }

// The byte before the last one stored, 0 while fewer than two are stored.
inline std::uint8_t byteBeforeLast(const std::uint8_t* buffer, std::int32_t length) {
    return length >= 2 ? buffer[length - 2] : 0;
}

// Whether marker stands at one of the positions from .. from + 20.
bool markerNear(const Frame& frame, std::uint8_t marker, int from = 0);

// Lines up a frame that lacks marker at position at (only a frame another
// decoder began can): the offsets k = 1, 2, ... up to length - 15, but at
// least up to lowestLast, are searched for marker at position at + k, and the
// bytes from k to the frame's end move down to position 0, so that the marker
// stands at position at; what lies behind the frame stays.  false when no
// offset holds the marker.
bool alignToMarker(Frame& frame, int length, std::uint8_t marker, int at, int lowestLast);

}  // namespace zindra::decoders
