// SM88: byte-coded telegrams that start with STX and carry their length in the
// second byte.  Shown in hex only; alarm and line states become event lines.
#include "decoders/framing.h"
#include "decoders/decoder.h"
#include "decoders/registry.h"
#include "decoders/telegram_render.h"
#include "decoders/ugm_family.h"

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

const char* stateWord(const Frame& f) {
    if (f[3] == 0x11) {
        switch (f[15]) {
            case 0x00: return "Ruhe";
            case 0x01: return "Alarm";
            case 0x08: return "St\xF6rung";
            default: return nullptr;
        }
    }
    if (f[3] == 0x13) {
        switch (f[7]) {
            case 0x01: return "Linie aus";
            case 0x04: return "Linie ein";
            default: return nullptr;
        }
    }
    return nullptr;
}

void eventSm88(Frame f, int length, std::string& event) {
    event.clear();
    if (!stxNearStart(f)) return;
    if (!moveStxToFront(f, length)) {
        event.append(EvaluationProblem);
        return;
    }
    const char* word = stateWord(f);
    if (word == nullptr) return;
    // Five BCD bytes, most significant first, in wrapping 32-bit arithmetic
    // and shown signed.
    const std::uint32_t a = bcdValue(f[9]) * 100000000u + bcdValue(f[10]) * 1000000u +
                            bcdValue(f[11]) * 10000u + bcdValue(f[12]) * 100u + bcdValue(f[13]);
    const auto numberA = static_cast<std::int32_t>(a);
    appendPadded(event, numberA, 3, 6);
    event.append("    ");
    appendPadded(event, static_cast<std::int32_t>(bcdValue(f[14])), 2, 5);
    event.append("    ");
    event.append(word);
}

class Sm88Decoder final : public Decoder {
public:
    void decode(DecoderState& st, DecoderOutput& out) override {
        out.clear();
        st.moreData = true;
        std::uint8_t b = 0;
        Frame frame;
        switch (nextFrame(st, isStx, [](const DecoderState& s) {
            // L + 3 bytes in all; a length byte of 254 or 255 announces more
            // than the buffer holds, so a full buffer closes the frame too.
            return s.frameLength > s.frameBuffer[1] + 2 || s.frameLength >= FrameBufferSize;
        }, b, frame)) {
            case FrameStep::Stray:
                renderSm88(&b, 1, out.textLine, out.hexLine);
                return;
            case FrameStep::Closed:
                renderSm88(frame.data(), st.frameLength, out.textLine, out.hexLine);
                eventSm88(frame, st.frameLength, out.eventLine);
                return;
            case FrameStep::Empty: return;
        }
    }
};

}  // namespace

std::unique_ptr<Decoder> makeSm88Decoder() { return std::make_unique<Sm88Decoder>(); }

}  // namespace zindra::decoders
