#include "decoders/state.h"

#include <cstring>

namespace zindra::decoders {

namespace {

void appendPiece(DecoderState& state, const std::uint8_t* chunk, int n) {
    auto* ring = state.receiveRing.data();
    if (state.writeIndex + n <= 1024) {
        std::memcpy(ring + state.writeIndex, chunk, static_cast<std::size_t>(n));
        state.writeIndex += n;
        return;
    }
    const int first = RingSize - state.writeIndex;
    std::memcpy(ring + state.writeIndex, chunk, static_cast<std::size_t>(first));
    const int rest = n - first;
    std::memcpy(ring, chunk + first, static_cast<std::size_t>(rest));
    state.writeIndex = rest;
}

}  // namespace

void appendToRing(DecoderState& state, const std::uint8_t* chunk, std::uint16_t count) {
    // Callers pass at most 256 bytes.  A larger count is taken in pieces of
    // 256 so that the wrap arithmetic never runs past the ring.
    int left = count;
    while (left > 0) {
        const int n = left < FrameBufferSize ? left : FrameBufferSize;
        appendPiece(state, chunk, n);
        chunk += n;
        left -= n;
    }
}

std::string byteToHex(std::uint8_t b) {
    std::string s;
    appendHex(s, b);
    return s;
}

}  // namespace zindra::decoders
