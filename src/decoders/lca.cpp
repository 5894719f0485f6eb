// LCA (USP32): six-byte telegrams that open with a byte below 0x10 and carry
// three bytes as pairs of nibble bytes.  Rendered only; no event line.
#include "decoders/decoder.h"
#include "decoders/framing.h"
#include "decoders/registry.h"

namespace zindra::decoders {
namespace {

constexpr int LcaLength = 6;

// Pair mode when the first byte is below 0x10: each pair shows its two raw
// bytes in hex and, in the text, the byte their low nibbles make (an odd last
// byte is left out).  Otherwise every byte is shown as it is.  Both lines are
// built in local buffers and handed over in one piece.
void renderLca(const std::uint8_t* bytes, int n, std::string& text, std::string& hex) {
    static constexpr char digits[] = "0123456789ABCDEF";
    char t[FrameBufferSize * 3];
    char h[FrameBufferSize * 3];
    std::size_t tn = 0;
    std::size_t hn = 0;
    auto putHex = [&](char* out, std::size_t& len, std::uint8_t b) {
        out[len++] = digits[b >> 4];
        out[len++] = digits[b & 0x0F];
    };
    if (n > FrameBufferSize) n = FrameBufferSize;
    if (n > 0 && bytes[0] < 0x10) {
        for (int i = 0; i + 1 < n; i += 2) {
            const std::uint8_t x = bytes[i];
            const std::uint8_t y = bytes[i + 1];
            h[hn++] = ' ';
            putHex(h, hn, x);
            h[hn++] = ' ';
            putHex(h, hn, y);
            putHex(t, tn, static_cast<std::uint8_t>((x & 0x0F) << 4 | (y & 0x0F)));
            t[tn++] = ' ';
        }
    } else {
        for (int i = 0; i < n; ++i) {
            h[hn++] = ' ';
            putHex(h, hn, bytes[i]);
            putHex(t, tn, bytes[i]);
            t[tn++] = ' ';
        }
    }
    text.assign(t, tn);
    hex.assign(h, hn);
}

class LcaDecoder final : public Decoder {
public:
    void decode(DecoderState& st, DecoderOutput& out) override {
        // A frame inherited from another decoder may already be longer than
        // six bytes; it closes with the next byte too and is shown whole.
        const auto closes = [](const std::uint8_t*, std::int32_t length) { return length >= LcaLength; };
        FrameOptions options;
        options.fullAt = FrameBufferSize - 1;
        decodeFrames(
            st, out, [](std::uint8_t x) { return x < 0x10; }, closes, options,
            [&](std::uint8_t b) { renderLca(&b, 1, out.textLine, out.hexLine); },
            [&](Frame& frame) {
                renderLca(frame.data(), st.frameLength, out.textLine, out.hexLine);
                // Six spaces keep every telegram's text longer than a joined
                // piece, so each starts a line of its own.
                out.textLine.append("      ");
                out.hexLine.append("      ");
            });
    }
};

}  // namespace

std::unique_ptr<Decoder> makeLcaDecoder() { return std::make_unique<LcaDecoder>(); }

}  // namespace zindra::decoders
