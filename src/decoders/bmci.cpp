// BMCI: 18-byte telegrams of printable characters that start with "A", "F" or
// "Z" (a three-letter message code), decimal digits, ETX and a closing byte.
// Each telegram gives one event line with two numbers and a state text.
#include "decoders/decoder.h"
#include "decoders/event_format.h"
#include "decoders/framing.h"
#include "decoders/registry.h"
#include "decoders/render.h"

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
        s.remapRange(0xE8, 0xEF, 0x00).nameControls().nameAckNak().chars(0x2A, 0x5F);
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

// A three-letter message code as one table code.
constexpr std::uint32_t messageCode(char a, char b, char c) {
    return static_cast<std::uint32_t>(static_cast<std::uint8_t>(a)) << 16 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(b)) << 8 | static_cast<std::uint8_t>(c);
}

constexpr CodeText BmciStates[] = {
    {messageCode('A', 'Z', 'B'), "Alarm"},        {messageCode('A', 'F', 'B'), "Alarm"},
    {messageCode('A', 'C', 'B'), "Alarm"},        {messageCode('A', 'P', 'B'), "Alarm"},
    {messageCode('A', 'Z', 'E'), "Ruhe"},         {messageCode('F', 'Z', 'B'), "St\xF6rung"},
    {messageCode('F', 'E', 'B'), "St\xF6rung"},   {messageCode('F', 'M', 'B'), "St\xF6rung"},
    {messageCode('F', 'Z', 'E'), "St\xF6r Ruhe"}, {messageCode('F', 'E', 'E'), "St\xF6r Ruhe"},
    {messageCode('F', 'M', 'E'), "St\xF6r Ruhe"}, {messageCode('Z', 'O', 'N'), "Linie ein"},
    {messageCode('L', 'O', 'N'), "Linie ein"},    {messageCode('Z', 'O', 'F'), "Linie aus"},
    {messageCode('L', 'O', 'F'), "Linie aus"},
};

// Works on its own copy: when the ETX is not at position 16 the telegram is
// taken to start as many bytes later as the ETX stands further on.
void bmciEvent(Frame& frame, const DecoderState& st, DecoderOutput& out) {
    if (!markerNear(frame, FrameEndByte, EtxPosition)) return;
    if (!alignToMarker(frame, st.frameLength, FrameEndByte, EtxPosition, 0)) {
        writeStateEvent(out, Protocol::Bmci, st, EvaluationProblem);
        return;
    }
    const auto code =
        messageCode(static_cast<char>(frame[0]), static_cast<char>(frame[1]), static_cast<char>(frame[2]));
    EventColumns(out, Protocol::Bmci, st)
        .numbersAB(readDigits(&frame[4], 3), readDigits(&frame[7], 2) & 0xFF)
        .state(lookupText(BmciStates, code, ""))
        .finish();
}

class BmciDecoder final : public Decoder {
public:
    void decode(DecoderState& st, DecoderOutput& out) override {
        // The length alone closes a telegram.  A longer frame taken over from
        // another decoder closes with its next byte.
        const auto closes = [](const std::uint8_t*, std::int32_t length) { return length >= TelegramLength; };
        decodeFrames(
            st, out, opensFrame, closes, FrameOptions{},
            [&](std::uint8_t b) { renderBytes(&b, 1, bmciStyle(), out.textLine, out.hexLine); },
            [&](Frame& frame) {
                renderBytes(frame.data(), st.frameLength, bmciStyle(), out.textLine, out.hexLine);
                bmciEvent(frame, st, out);
            });
    }
};

}  // namespace

std::unique_ptr<Decoder> makeBmciDecoder() { return std::make_unique<BmciDecoder>(); }

}  // namespace zindra::decoders
