// SM88: byte-coded telegrams that start with STX and carry their length in the
// second byte.  Shown in hex only; alarm and line states become event lines.
#include "decoders/decoder.h"
#include "decoders/event_format.h"
#include "decoders/framing.h"
#include "decoders/registry.h"
#include "decoders/stx_frame.h"

namespace zindra::decoders {
namespace {

// Hex only: 0xE8 .. 0xEF stand for 0x00 .. 0x07 and are marked " .".  The
// text rendering stays empty.
void renderSm88(const std::uint8_t* bytes, int n, std::string& text, std::string& hex) {
    text.clear();
    hex.clear();
    for (int i = 0; i < n; ++i) {
        std::uint8_t b = bytes[i];
        if (b >= 0xE8 && b <= 0xEF) {
            b = static_cast<std::uint8_t>(b - 0xE8);
            hex.append(" .");
        } else {
            hex.push_back(' ');
        }
        appendHex(hex, b);
    }
}

// High nibble times ten plus low nibble; nibbles above 9 count with their value.
std::uint32_t bcdValue(std::uint8_t b) { return static_cast<std::uint32_t>((b >> 4) * 10 + (b & 0x0F)); }

// Keyed by the type byte (3) and the state byte: position 15 for a detector
// message (0x11), position 7 for a line message (0x13).
constexpr CodeText Sm88States[] = {
    {0x1100, "Ruhe"}, {0x1101, "Alarm"}, {0x1108, "St\xF6rung"}, {0x1301, "Linie aus"}, {0x1304, "Linie ein"},
};

void sm88Event(Frame& f, const DecoderState& st, DecoderOutput& out) {
    if (!markerNear(f, FrameStartByte)) return;
    if (!alignStx(f, st.frameLength)) {
        writeStateEvent(out, Protocol::Sm88, st, EvaluationProblem);
        return;
    }
    const char* word = lookupText(Sm88States, codePair(f[3], f[3] == 0x13 ? f[7] : f[15]));
    if (word == nullptr) return;
    // Five BCD bytes, most significant first, in wrapping 32-bit arithmetic
    // and shown signed.
    const std::uint32_t a = bcdValue(f[9]) * 100000000u + bcdValue(f[10]) * 1000000u +
                            bcdValue(f[11]) * 10000u + bcdValue(f[12]) * 100u + bcdValue(f[13]);
    EventColumns(out, Protocol::Sm88, st)
        .numbersAB(static_cast<std::int32_t>(a), bcdValue(f[14]))
        .state(word)
        .finish();
}

class Sm88Decoder final : public Decoder {
public:
    void decode(DecoderState& st, DecoderOutput& out) override {
        // L + 3 bytes in all; a length byte of 254 or 255 announces more than
        // the buffer holds, so a full buffer closes the frame too.
        const auto closes = [](const std::uint8_t* buffer, std::int32_t length) {
            return length > buffer[1] + 2 || length >= FrameBufferSize;
        };
        decodeFrames(
            st, out, isStx, closes, FrameOptions{},
            [&](std::uint8_t b) { renderSm88(&b, 1, out.textLine, out.hexLine); },
            [&](Frame& frame) {
                renderSm88(frame.data(), st.frameLength, out.textLine, out.hexLine);
                sm88Event(frame, st, out);
            });
    }
};

}  // namespace

std::unique_ptr<Decoder> makeSm88Decoder() { return std::make_unique<Sm88Decoder>(); }

}  // namespace zindra::decoders
