// ESSER: telegrams from a start marker (0x1C, or 0x04) to the byte after the
// first end marker (0x54, or 0x3C), shown as hex with the markers named.  No
// event line.
#include "decoders/decoder.h"
#include "decoders/framing.h"
#include "decoders/registry.h"

namespace zindra::decoders {
namespace {

constexpr std::uint8_t StartMarker = 0x1C;
constexpr std::uint8_t AltStartMarker = 0x04;
constexpr std::uint8_t EndMarker = 0x54;
constexpr std::uint8_t AltEndMarker = 0x3C;
constexpr int MaxTelegram = 128;

// In renderings of fewer than 5 bytes the alternative markers are shown as
// the usual ones, marked with ".".  A byte that repeats the one before it is
// left out of the text (it stays in the hex).
void renderEsser(const std::uint8_t* bytes, int n, std::string& text, std::string& hex) {
    text.clear();
    hex.clear();
    std::uint8_t prev = 0;
    for (int i = 0; i < n; ++i) {
        std::uint8_t v = bytes[i];
        if (n < 5 && (v == AltStartMarker || v == AltEndMarker)) {
            v = v == AltStartMarker ? StartMarker : EndMarker;
            text.push_back('.');
            hex.append(" .");
        }
        hex.push_back(' ');
        appendHex(hex, v);
        if (v != prev) {
            if (prev != EndMarker && v == StartMarker) {
                text.append("<STX> ");
            } else if (prev != EndMarker && v == EndMarker) {
                text.append("<ETX> ");
            } else {
                appendHex(text, v);
                text.push_back(' ');
            }
        }
        prev = v;
    }
}

class EsserDecoder final : public Decoder {
public:
    void decode(DecoderState& st, DecoderOutput& out) override {
        const auto opens = [](std::uint8_t x) { return x == StartMarker || x == AltStartMarker; };
        // A telegram ends with the byte after its first end marker, or at 128
        // bytes; a frame taken over from another decoder that already holds
        // 128 bytes or more closes with its next byte.
        const auto closes = [](const std::uint8_t* buffer, std::int32_t length) {
            const std::uint8_t before = byteBeforeLast(buffer, length);
            return before == EndMarker || before == AltEndMarker || length >= MaxTelegram;
        };
        decodeFrames(
            st, out, opens, closes, FrameOptions{},
            [&](std::uint8_t b) { renderEsser(&b, 1, out.textLine, out.hexLine); },
            [&](Frame& frame) { renderEsser(frame.data(), st.frameLength, out.textLine, out.hexLine); });
    }
};

}  // namespace

std::unique_ptr<Decoder> makeEsserDecoder() { return std::make_unique<EsserDecoder>(); }

}  // namespace zindra::decoders
