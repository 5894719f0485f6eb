// HEKATRON: printable telegrams between STX and ETX plus a closing byte, their
// fields written as hex digit characters.  Each telegram gives one event line:
// two numbers, the state text from the message or command code, the type
// letter and the code as received.
#include <string_view>

#include "decoders/decoder.h"
#include "decoders/event_format.h"
#include "decoders/framing.h"
#include "decoders/registry.h"
#include "decoders/render.h"

namespace zindra::decoders {
namespace {

constexpr std::size_t StateTextWidth = 22;

const RenderStyle& hekatronStyle() {
    static const RenderStyle style =
        RenderStyle().remapRange(0xE8, 0xEF, 0x00).nameControls().nameAckNak().chars(0x2A, 0x5F);
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

// The texts as the panel software prints them, misspellings included.
constexpr const char* Unknown = "unbekannt";

// Message codes (positions 18..21), one state to a row group.
// clang-format off
constexpr CodeText MessageStates[] = {
    {0x20, "Alarm"},  {0x24, "Alarm"},  {0x26, "Alarm"},  {0x60, "Alarm"},  {0x61, "Alarm"},  {0x65, "Alarm"},
    {0x21, "St\xF6rung"},  {0x22, "St\xF6rung"},  {0x23, "St\xF6rung"},  {0x29, "St\xF6rung"},
    {0x63, "St\xF6rung"},  {0x64, "St\xF6rung"},  {0x6B, "St\xF6rung"},  {0x84, "St\xF6rung"},
    {0x86, "St\xF6rung"},  {0xAA, "St\xF6rung"},  {0xC3, "St\xF6rung"},  {0xC7, "St\xF6rung"},
    {0xCB, "St\xF6rung"},  {0xFA, "St\xF6rung"},  {0x130, "St\xF6rung"}, {0x131, "St\xF6rung"},
    {0x132, "St\xF6rung"}, {0x140, "St\xF6rung"}, {0x142, "St\xF6rung"}, {0x144, "St\xF6rung"},
    {0x146, "St\xF6rung"}, {0x148, "St\xF6rung"}, {0x14A, "St\xF6rung"}, {0x14C, "St\xF6rung"},
    {0x157, "St\xF6rung"}, {0x158, "St\xF6rung"}, {0x1C1, "St\xF6rung"},
    {0x160, "Ruhe"},  {0x161, "Ruhe"},  {0x162, "Ruhe"},
    {0x85, "St\xF6r Ruhe"},  {0x141, "St\xF6r Ruhe"}, {0x143, "St\xF6r Ruhe"},
    {0x145, "St\xF6r Ruhe"}, {0x147, "St\xF6r Ruhe"}, {0x149, "St\xF6r Ruhe"},
    {0x14B, "St\xF6r Ruhe"}, {0x14D, "St\xF6r Ruhe"}, {0x159, "St\xF6r Ruhe"},
};
// clang-format on

// Command codes of "O" telegrams (positions 6..7, as characters).
constexpr CodeText CommandStates[] = {
    {codePair('1', '9'), "neue Kennung setzen"},
    {codePair('1', 'A'), "BMZ fordert Satus"},
    {codePair('3', '7'), "Linie ein"},
    {codePair('3', '8'), "Linie aus"},
};

std::string_view chars(const Frame& frame, std::size_t pos, std::size_t n) {
    return {reinterpret_cast<const char*>(&frame[pos]), n};
}

// A frame that does not begin with STX is first moved down so that the first
// STX found stands at position 0.
void hekatronEvent(Frame& frame, const DecoderState& st, DecoderOutput& out) {
    if (!markerNear(frame, FrameStartByte)) return;
    if (!alignToMarker(frame, st.frameLength, FrameStartByte, 0, 0)) {
        writeStateEvent(out, Protocol::Hekatron, st, EvaluationProblem);
        return;
    }
    const std::uint8_t type = frame[3];
    const char typeLetter[] = {static_cast<char>(type), ' ', ' '};
    EventColumns line(out, Protocol::Hekatron, st);
    if (type == 'L') {
        line.numbersAB(0, 0).state("Satatus vom FAT", StateTextWidth).literal({typeLetter, 3});
    } else if (type == 'O') {
        line.numbersAB(0, 0)
            .state(lookupText(CommandStates, codePair(frame[6], frame[7]), Unknown), StateTextWidth)
            .literal({typeLetter, 3})
            .codeText(chars(frame, 6, 2));
    } else {
        const std::uint16_t code = hexField(frame, 18);
        line.numbersAB(hexField(frame, 22), code >= 0x60 ? hexField(frame, 26) & 0xFF : 0)
            .state(lookupText(MessageStates, code, Unknown), StateTextWidth)
            .literal({typeLetter, 3})
            .codeText(chars(frame, 18, 4));
        out.record.stateCode = code;
    }
    line.finish();
}

class HekatronDecoder final : public Decoder {
public:
    void decode(DecoderState& st, DecoderOutput& out) override {
        // A telegram ends with the byte after its first ETX.  One that never
        // brings an ETX is closed when the buffer is full.
        const auto closes = [](const std::uint8_t* buffer, std::int32_t length) {
            return byteBeforeLast(buffer, length) == FrameEndByte || length >= FrameBufferSize;
        };
        decodeFrames(
            st, out, isStx, closes, FrameOptions{},
            [&](std::uint8_t b) { renderBytes(&b, 1, hekatronStyle(), out.textLine, out.hexLine); },
            [&](Frame& frame) {
                renderBytes(frame.data(), st.frameLength, hekatronStyle(), out.textLine, out.hexLine);
                hekatronEvent(frame, st, out);
            });
    }
};

}  // namespace

std::unique_ptr<Decoder> makeHekatronDecoder() { return std::make_unique<HekatronDecoder>(); }

}  // namespace zindra::decoders
