// HSB180 (and the ESSER printer): lines of text that end with LF, shown in the
// hex pane with CR and LF made visible and every other byte as itself.
#include "decoders/decoder.h"
#include "decoders/event_format.h"
#include "decoders/framing.h"
#include "decoders/registry.h"

namespace zindra::decoders {
namespace {

constexpr std::uint8_t LineFeed = 0x0A;
constexpr std::uint8_t CarriageReturn = 0x0D;

void renderHsb180(const std::uint8_t* bytes, int n, std::string& text, std::string& hex) {
    text.clear();
    hex.clear();
    for (int i = 0; i < n; ++i) {
        const std::uint8_t b = bytes[i];
        if (b == LineFeed) {
            hex.append(" LF");
        } else if (b == CarriageReturn) {
            hex.append(" CR");
        } else {
            hex.push_back(static_cast<char>(b));
        }
    }
}

class Hsb180Decoder final : public Decoder {
public:
    void decode(DecoderState& st, DecoderOutput& out) override {
        // Any byte opens a line, an LF too; that LF does not close it.  A line
        // that never brings its LF is shown once it fills the buffer, as if
        // the LF had come.
        const auto closes = [](const std::uint8_t* buffer, std::int32_t length) {
            return buffer[length - 1] == LineFeed || length >= FrameBufferSize;
        };
        decodeFrames(
            st, out, anyByte, closes, FrameOptions{}, [](std::uint8_t) {},
            [&](Frame& frame) {
                renderHsb180(frame.data(), st.frameLength, out.textLine, out.hexLine);
                recordPrinterLine(out, Protocol::Hsb180, frame.data(), st.frameLength, 0);
            });
    }
};

}  // namespace

std::unique_ptr<Decoder> makeHsb180Decoder() { return std::make_unique<Hsb180Decoder>(); }

}  // namespace zindra::decoders
