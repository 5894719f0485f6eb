// SECURITON: printer lines that end with LF, at most 100 bytes.  Printable
// characters as they are, everything else in hex, no control names; long
// lines spill into the header lines.
#include "decoders/decoder.h"
#include "decoders/event_format.h"
#include "decoders/framing.h"
#include "decoders/header_render.h"
#include "decoders/registry.h"

namespace zindra::decoders {
namespace {

constexpr int MaxLine = 100;
constexpr std::uint8_t LineFeed = 0x0A;

const RenderStyle& securitonStyle() {
    static const RenderStyle style =
        RenderStyle().remapRange(0xE8, 0xEF, 0x00).remapByte(0xFD, 0x15).chars(0x1A, 0x7F);
    return style;
}

void renderSecuriton(const std::uint8_t* bytes, int n, DecoderOutput& out) {
    renderWithHeaders(bytes, n, securitonStyle(), 0, out);
}

class SecuritonDecoder final : public Decoder {
public:
    void decode(DecoderState& st, DecoderOutput& out) override {
        // Any byte opens a line, an LF too; that LF does not close it.
        const auto closes = [](const std::uint8_t* buffer, std::int32_t length) {
            return buffer[length - 1] == LineFeed || length >= MaxLine;
        };
        decodeFrames(
            st, out, anyByte, closes, FrameOptions{}, [](std::uint8_t) {},
            [&](Frame& frame) {
                renderSecuriton(frame.data(), st.frameLength, out);
                recordPrinterLine(out, Protocol::Securiton, frame.data(), st.frameLength, 0);
            });
    }
};

}  // namespace

std::unique_ptr<Decoder> makeSecuritonDecoder() { return std::make_unique<SecuritonDecoder>(); }

}  // namespace zindra::decoders
