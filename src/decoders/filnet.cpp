// FILNET: raw telegrams introduced by 0x8A and counting their own length in
// their first byte.  The introducer is shown as a byte of its own; telegrams
// and stray bytes appear in hex only, and each telegram gives one event line
// with three numbers, the two state bytes and a state text.
#include "decoders/decoder.h"
#include "decoders/event_format.h"
#include "decoders/framing.h"
#include "decoders/kind_states.h"
#include "decoders/registry.h"

namespace zindra::decoders {
namespace {

constexpr std::uint8_t Introducer = 0x8A;

// A byte outside a telegram: bit 7 is shown as a "." mark before the low
// seven bits.
void renderByte(std::uint8_t b, std::string& text, std::string& hex) {
    text.clear();
    hex.clear();
    hex.push_back(' ');
    if (b & 0x80) {
        hex.push_back('.');
        b = static_cast<std::uint8_t>(b - 0x80);
    }
    appendHex(hex, b);
}

// A telegram: each byte as it is, followed by a space.
void renderTelegram(const Frame& frame, int length, std::string& text, std::string& hex) {
    text.clear();
    hex.clear();
    for (int i = 0; i < length; ++i) {
        appendHex(hex, frame[static_cast<std::size_t>(i)]);
        hex.push_back(' ');
    }
}

// FILNET's kind bytes fall into the three families of the shared table.
std::uint8_t kindFamily(std::uint8_t kind) {
    if (kind == 0x80 || kind == 0x81 || kind == 0x82 || kind == 0x86 || kind == 0x87) return 0x80;
    if (kind >= 0x90 && kind <= 0x97) return 0x90;
    if (kind == 0xB2 || kind == 0xB4) return 0xB2;
    return 0;
}

// Fields at fixed positions, whatever the telegram's length.
void filnetEvent(const Frame& frame, const DecoderState& st, DecoderOutput& out) {
    EventColumns(out, Protocol::Filnet, st)
        .number(EventColumns::Number::Lead, frame[7], 2, 0)
        .literal("  ")
        .number(EventColumns::Number::A, frame[8], 3, 6)
        .literal("    /")
        .number(EventColumns::Number::B, frame[9], 2, 5)
        .literal("    ")
        .codeHex(frame[6])
        .literal("H    ")
        .qualifierHex(frame[10])
        .literal("H    ")
        .state(kindStateText(kindFamily(frame[6]), frame[10]))
        .finish();
}

class FilnetDecoder final : public Decoder {
public:
    void decode(DecoderState& st, DecoderOutput& out) override {
        // The introducer opens a telegram but is not part of it: it is shown
        // as a byte of its own, and the length byte that follows is stored
        // at position 0.  The length byte is at most 255, so a telegram
        // closes before it can outgrow the buffer.
        FrameOptions options;
        options.openerApart = true;
        const auto closes = [](const std::uint8_t* buffer, std::int32_t length) {
            return length >= buffer[0];
        };
        decodeFrames(
            st, out, [](std::uint8_t x) { return x == Introducer; }, closes, options,
            [&](std::uint8_t b) { renderByte(b, out.textLine, out.hexLine); },
            [&](Frame& frame) {
                renderTelegram(frame, st.frameLength, out.textLine, out.hexLine);
                filnetEvent(frame, st, out);
            });
    }
};

}  // namespace

std::unique_ptr<Decoder> makeFilnetDecoder() { return std::make_unique<FilnetDecoder>(); }

}  // namespace zindra::decoders
