// The receive ring and the frame state that every decoder shares.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace zindra::decoders {

inline constexpr std::uint8_t FrameStartByte = 0x02;  // STX
inline constexpr std::uint8_t FrameEndByte = 0x03;    // ETX

inline constexpr int RingSize = 1025;  // slots 0 .. 1024, not 1024
inline constexpr int FrameBufferSize = 256;

// A copy of FrameBuffer, for rendering and event routines that must not
// change the shared buffer.
using Frame = std::array<std::uint8_t, FrameBufferSize>;

// One instance per session.  The decoders share it on purpose: a frame that
// one decoder began is continued by the next one that runs, so nothing here is
// reset on a change of decoder.  A new trace, a reopen after a pulled cable
// and a replay begin on an empty frame (TraceSession::resetFrame).
struct DecoderState {
    std::array<std::uint8_t, RingSize> receiveRing{};
    std::int32_t writeIndex = 0;  // slot for the next appended byte
    std::int32_t readIndex = 0;   // slot of the next unread byte
    std::array<std::uint8_t, FrameBufferSize> frameBuffer{};
    std::int32_t frameLength = 0;
    bool inFrame = false;
    bool moreData = false;

    bool ringEmpty() const { return readIndex == writeIndex; }

    // Takes the byte at ReadIndex and advances it; ReadIndex wraps to 0 once
    // it has reached 1024.  The caller checks ringEmpty() first.
    std::uint8_t takeByte() {
        const std::uint8_t b = receiveRing[static_cast<std::size_t>(readIndex)];
        readIndex = readIndex >= 1024 ? 0 : readIndex + 1;
        return b;
    }

    // Stores a byte at FrameBuffer[FrameLength] and counts it.
    void storeByte(std::uint8_t b) {
        frameBuffer[static_cast<std::size_t>(frameLength)] = b;
        ++frameLength;
    }
};

// Appends count bytes of chunk to the ring.  Unread bytes are overwritten when
// more than the free room is appended; ReadIndex is not consulted.
void appendToRing(DecoderState& state, const std::uint8_t* chunk, std::uint16_t count);

// A byte as two upper-case hex digits.
std::string byteToHex(std::uint8_t b);

// Appends the two hex digits of b to out, without building a temporary.
inline void appendHex(std::string& out, std::uint8_t b) {
    static constexpr char digits[] = "0123456789ABCDEF";
    out.push_back(digits[b >> 4]);
    out.push_back(digits[b & 0x0F]);
}

}  // namespace zindra::decoders
