// TN1060: 15-byte STX telegrams of hex-digit text.  "S" carries a central
// reset, "a" the panel's fault and disablement state (reported only when it
// changes), "M" a message with code C, number A and number B.
#include "decoders/event_format.h"
#include "decoders/registry.h"
#include "decoders/stx_frame.h"

namespace zindra::decoders {
namespace {

// As the UGM line, but letters up to "z" are readable too, and a byte right
// after an ETX is always shown in hex.
const RenderStyle& tn1060Style() {
    static const RenderStyle style = [] {
        RenderStyle s = ugmRenderStyle();
        s.chars(0x2A, 0x7A);
        s.charsAfterEtx = false;
        return s;
    }();
    return style;
}

constexpr int NotADigit = 255;

// "0".."9" and "A".."F" (upper case only); anything else is no digit.
int hexDigitValue(std::uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return NotADigit;
}

// Reads the "M" telegram's fields with a byte-wide cursor, as the panel's own
// text is laid out.  Reads wrap within the 256-byte frame like the cursor.
class MessageReader {
public:
    MessageReader(const Frame& frame, int length) : frame_(frame), length_(length) {}

    // Two hex digits (a non-digit counts 255), then the "z" groups that may
    // follow them, skipped while the cursor lies inside the telegram.
    std::uint8_t codeThenSkipZGroups() {
        cursor_ = 2;
        const int c = 16 * hexDigitValue(at(cursor_)) + hexDigitValue(at(cursor_ + 1));
        cursor_ += 2;
        while (at(cursor_) == 'z' && cursor_ < length_) cursor_ += 3;
        return static_cast<std::uint8_t>(c & 0xFF);
    }

    // Up to maxDigits hex digits, stopping at the first non-digit.
    std::int32_t number(int maxDigits) {
        std::int32_t value = 0;
        for (int i = 0; i < maxDigits; ++i) {
            const int d = hexDigitValue(at(cursor_));
            if (d == NotADigit) break;
            value = value * 16 + d;
            ++cursor_;
        }
        return value;
    }

    // "n" and up to two hex digits; 0 when no "n" follows.
    std::int32_t optionalN() {
        if (at(cursor_) != 'n') return 0;
        ++cursor_;
        return number(2);
    }

private:
    std::uint8_t at(int pos) const { return frame_[static_cast<std::size_t>(pos & 0xFF)]; }

    const Frame& frame_;
    int length_;
    int cursor_ = 2;
};

void tn1060Event(Frame& frame, const DecoderState& st, FaultMemory& flags, DecoderOutput& out) {
    const int length = st.frameLength;
    if (!alignStx(frame, length)) {
        writeStateEvent(out, Protocol::Tn1060, st, EvaluationProblem);
        return;
    }
    switch (frame[1]) {
        case 'S':
            if (frame[2] == '4' && frame[3] == '7' && frame[4] == 'F' && frame[5] == 'F' && frame[6] == 'F') {
                writeStateEvent(out, Protocol::Tn1060, st, " Zentralen Reset ");
            }
            return;
        case 'a':
            // Bit 3 of the digit at 6 is the fault, bit 0 of the one at 7 the
            // disablement; a non-digit (255) sets both.
            if (frame[5] == 'Y') {
                flags.fault = (hexDigitValue(frame[6]) & 8) != 0;
                flags.disablement = (hexDigitValue(frame[7]) & 1) != 0;
            }
            flags.reportChanges(out, Protocol::Tn1060, st);
            return;
        case 'M': {
            MessageReader reader(frame, length);
            const std::uint8_t c = reader.codeThenSkipZGroups();
            const std::int32_t a = reader.number(4);
            if (a == 0 || a > 0x3FFF) return;
            const std::int32_t b = reader.optionalN();
            EventColumns(out, Protocol::Tn1060, st).numbersAB(a, b).codeColumns(c).finish();
            return;
        }
        default: return;
    }
}

class Tn1060Decoder final : public Decoder {
public:
    void decode(DecoderState& st, DecoderOutput& out) override {
        decodeStxTelegrams(st, out, StxFrameEnd::Fixed15, tn1060Style(),
                           [&](Frame& frame) { tn1060Event(frame, st, flags_, out); });
    }

private:
    FaultMemory flags_;  // kept for the whole run, across traces
};

}  // namespace

std::unique_ptr<Decoder> makeTn1060Decoder() { return std::make_unique<Tn1060Decoder>(); }

}  // namespace zindra::decoders
