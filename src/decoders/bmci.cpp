// BMCI: 18-byte telegrams of printable characters that start with "A", "F" or
// "Z" (a three-letter message code), decimal digits, ETX and a closing byte.
// Each telegram gives one event line with two numbers and a state text.
#include <algorithm>
#include <cstring>

#include "decoders/framing.h"
#include "decoders/decoder.h"
#include "decoders/registry.h"
#include "decoders/ugm_family.h"

namespace zindra::decoders {
namespace {

constexpr int TelegramLength = 18;
constexpr int EtxPosition = 16;

bool opensFrame(std::uint8_t b) { return b == 'A' || b == 'Z' || b == 'F'; }

// Control bytes are named only at the first two positions and after the
// data (positions above 15); in between they are data and shown as hex.
const RenderStyle& bmciStyle() {
    static const RenderStyle style = [] {
        RenderStyle s;
        s.remapRange(0xE8, 0xEF, 0x00)
            .nameControls()
            .nameAckNak()
            .chars(0x2A, 0x5F);
        s.nameAt = [](int i, int) { return i <= 1 || i > 15; };
        return s;
    }();
    return style;
}

// Each digit byte counts by its low nibble; the digits are read as a decimal
// number from the left up to the first nibble above 9.
std::int32_t readDigits(const std::uint8_t* digits, int count) {
    std::int32_t value = 0;
    for (int i = 0; i < count; ++i) {
        const int nibble = digits[i] & 0x0F;
        if (nibble > 9) break;
        value = value * 10 + nibble;
    }
    return value;
}

const char* stateText(const std::uint8_t* code) {
    struct Entry {
        const char code[4];
        const char* text;
    };
    static constexpr Entry table[] = {
        {"AZB", "Alarm"},     {"AFB", "Alarm"},        {"ACB", "Alarm"},        {"APB", "Alarm"},
        {"AZE", "Ruhe"},      {"FZB", "St\xF6rung"},   {"FEB", "St\xF6rung"},   {"FMB", "St\xF6rung"},
        {"FZE", "St\xF6r Ruhe"}, {"FEE", "St\xF6r Ruhe"}, {"FME", "St\xF6r Ruhe"}, {"ZON", "Linie ein"},
        {"LON", "Linie ein"}, {"ZOF", "Linie aus"},    {"LOF", "Linie aus"},
    };
    for (const Entry& e : table) {
        if (std::memcmp(code, e.code, 3) == 0) return e.text;
    }
    return "";
}

// Works on its own copy: when the ETX is not at position 16 the telegram is
// taken to start as many bytes later as the ETX stands further on.
void bmciEvent(Frame frame, int length, std::string& line) {
    line.clear();
    const auto etxFrom = frame.begin() + EtxPosition;
    if (std::find(etxFrom, etxFrom + 21, FrameEndByte) == etxFrom + 21) return;
    if (frame[EtxPosition] != FrameEndByte) {
        // The search never looks past the end of the buffer, whatever the
        // length of a frame taken over from another decoder.
        const int lastK = std::min(length - 15, FrameBufferSize - 1 - EtxPosition);
        int k = 1;
        while (k <= lastK && frame[static_cast<std::size_t>(EtxPosition + k)] != FrameEndByte) ++k;
        if (k > lastK) {
            line = EvaluationProblem;
            return;
        }
        const int last = std::min(length, FrameBufferSize - 1);
        std::memmove(frame.data(), frame.data() + k, static_cast<std::size_t>(last - k + 1));
    }
    appendPadded(line, readDigits(&frame[4], 3), 3, 6);
    line.append("    ");
    appendPadded(line, readDigits(&frame[7], 2) & 0xFF, 2, 5);
    line.append("    ");
    line.append(stateText(frame.data()));
}

class BmciDecoder final : public Decoder {
public:
    void decode(DecoderState& st, DecoderOutput& out) override {
        out.clear();
        st.moreData = true;
        std::uint8_t b = 0;
        Frame frame;
        switch (nextFrame(st, opensFrame, [](const DecoderState& s) {
            // The length alone closes a telegram.  A longer frame taken over
            // from another decoder closes with its next byte.
            return s.frameLength >= TelegramLength;
        }, b, frame)) {
            case FrameStep::Stray:
                renderBytes(&b, 1, bmciStyle(), out.textLine, out.hexLine);
                return;
            case FrameStep::Closed:
                renderBytes(frame.data(), st.frameLength, bmciStyle(), out.textLine, out.hexLine);
                bmciEvent(frame, st.frameLength, out.eventLine);
                return;
            case FrameStep::Empty: return;
        }
    }
};

}  // namespace

std::unique_ptr<Decoder> makeBmciDecoder() { return std::make_unique<BmciDecoder>(); }

}  // namespace zindra::decoders
