// HEKATRON: printable telegrams between STX and ETX plus a closing byte, their
// fields written as hex digit characters.  Each telegram gives one event line:
// two numbers, the state text from the message or command code, the type
// letter and the code as received.
#include <algorithm>
#include <cstring>

#include "decoders/framing.h"
#include "decoders/decoder.h"
#include "decoders/registry.h"
#include "decoders/ugm_family.h"

namespace zindra::decoders {
namespace {

constexpr std::size_t StateTextWidth = 22;

const RenderStyle& hekatronStyle() {
    static const RenderStyle style = RenderStyle()
                                         .remapRange(0xE8, 0xEF, 0x00)
                                         .nameControls()
                                         .nameAckNak()
                                         .chars(0x2A, 0x5F);
    return style;
}

// Only "0".."9" and upper-case "A".."F" count; everything else is 0.
unsigned hexDigit(std::uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10u;
    return 0;
}

std::uint16_t hexField(const Frame& frame, std::size_t pos) {
    return static_cast<std::uint16_t>(hexDigit(frame[pos]) << 12 | hexDigit(frame[pos + 1]) << 8 |
                                      hexDigit(frame[pos + 2]) << 4 | hexDigit(frame[pos + 3]));
}

int messageState(unsigned code) {
    switch (code) {
    case 0x20: case 0x24: case 0x26: case 0x60: case 0x61: case 0x65:
        return 0;
    case 0x21: case 0x22: case 0x23: case 0x29: case 0x63: case 0x64: case 0x6B: case 0x84:
    case 0x86: case 0xAA: case 0xC3: case 0xC7: case 0xCB: case 0xFA: case 0x130: case 0x131:
    case 0x132: case 0x140: case 0x142: case 0x144: case 0x146: case 0x148: case 0x14A:
    case 0x14C: case 0x157: case 0x158: case 0x1C1:
        return 1;
    case 0x160: case 0x161: case 0x162:
        return 3;
    case 0x85: case 0x141: case 0x143: case 0x145: case 0x147: case 0x149: case 0x14B:
    case 0x14D: case 0x159:
        return 5;
    default:
        return 10;
    }
}

int commandState(std::uint8_t hi, std::uint8_t lo) {
    if (hi == '1' && lo == '9') return 6;
    if (hi == '1' && lo == 'A') return 7;
    if (hi == '3' && lo == '7') return 4;
    if (hi == '3' && lo == '8') return 2;
    return 10;
}

// The texts as the panel software prints them, misspellings included.
const char* stateText(int state) {
    switch (state) {
    case 0: return "Alarm";
    case 1: return "St\xF6rung";
    case 2: return "Linie aus";
    case 3: return "Ruhe";
    case 4: return "Linie ein";
    case 5: return "St\xF6r Ruhe";
    case 6: return "neue Kennung setzen";
    case 7: return "BMZ fordert Satus";
    case 20: return "Satatus vom FAT";
    default: return "unbekannt";
    }
}

class HekatronDecoder final : public Decoder {
public:
    void decode(DecoderState& st, DecoderOutput& out) override {
        out.clear();
        st.moreData = true;
        std::uint8_t b = 0;
        Frame frame;
        switch (nextFrame(st, isStx, [](const DecoderState& s) {
            // A telegram ends with the byte after its first ETX.  One that
            // never brings an ETX is closed when the buffer is full.
            return byteBeforeLast(s) == FrameEndByte || s.frameLength >= FrameBufferSize;
        }, b, frame)) {
            case FrameStep::Stray:
                renderBytes(&b, 1, hekatronStyle(), out.textLine, out.hexLine);
                return;
            case FrameStep::Closed:
                renderBytes(frame.data(), st.frameLength, hekatronStyle(), out.textLine, out.hexLine);
                event(frame, st.frameLength, out.eventLine);
                return;
            case FrameStep::Empty: return;
        }
    }

private:
    // Reads the message code at positions 18..21 into messageCode_ and
    // codeText_ and returns its state.
    int classifyMessage(const Frame& frame) {
        messageCode_ = hexField(frame, 18);
        codeText_.assign(reinterpret_cast<const char*>(&frame[18]), 4);
        return messageState(messageCode_);
    }

    // Works on its own copy: a frame that does not begin with STX is moved
    // down so that the first STX found stands at position 0.
    void event(Frame frame, int length, std::string& line) {
        line.clear();
        if (std::find(frame.begin(), frame.begin() + 21, FrameStartByte) == frame.begin() + 21) return;
        if (frame[0] != FrameStartByte) {
            int k = 1;
            while (k <= length - 15 && frame[static_cast<std::size_t>(k)] != FrameStartByte) ++k;
            if (k > length - 15) {
                line = EvaluationProblem;
                return;
            }
            const int last = std::min(length, FrameBufferSize - 1);
            std::memmove(frame.data(), frame.data() + k, static_cast<std::size_t>(last - k + 1));
        }
        codeText_.clear();
        const std::uint8_t type = frame[3];
        std::int32_t first = 0;
        std::int32_t second = 0;
        int state;
        if (type == 'O' || type == 'L') {
            state = commandState(frame[6], frame[7]);
            codeText_.assign(reinterpret_cast<const char*>(&frame[6]), 2);
            if (type == 'L') {
                state = 20;
                codeText_.clear();
            }
        } else {
            first = hexField(frame, 22);
            state = classifyMessage(frame);
            if (messageCode_ >= 0x60) second = hexField(frame, 26) & 0xFF;
        }
        appendPadded(line, first, 3, 6);
        line.append("    ");
        appendPadded(line, second, 2, 5);
        line.append("    ");
        const char* text = stateText(state);
        line.append(text);
        const std::size_t textLength = std::strlen(text);
        if (textLength < StateTextWidth) line.append(StateTextWidth - textLength, ' ');
        line.push_back(static_cast<char>(type));
        line.append("  ");
        line.append(codeText_);
    }

    std::uint16_t messageCode_ = 0;
    std::string codeText_;
};

}  // namespace

std::unique_ptr<Decoder> makeHekatronDecoder() { return std::make_unique<HekatronDecoder>(); }

}  // namespace zindra::decoders
