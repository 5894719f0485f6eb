// HSB180 (and the ESSER printer): lines of text that end with LF, shown in the
// hex pane with CR and LF made visible and every other byte as itself.
#include "decoders/decoder.h"
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
        out.clear();
        st.moreData = true;
        while (!st.ringEmpty()) {
            const std::uint8_t b = st.takeByte();
            // Any byte opens a line, an LF too; that LF does not close it.
            if (!st.inFrame) {
                st.inFrame = true;
                st.frameLength = 0;
                st.storeByte(b);
                continue;
            }
            st.storeByte(b);
            // A line that never brings its LF is shown once it fills the
            // buffer, as if the LF had come.
            if (b == LineFeed || st.frameLength >= FrameBufferSize) {
                st.inFrame = false;
                const std::array<std::uint8_t, FrameBufferSize> frame = st.frameBuffer;
                renderHsb180(frame.data(), st.frameLength, out.textLine, out.hexLine);
                out.eventLine.clear();
                return;
            }
        }
        st.moreData = false;
    }
};

}  // namespace

std::unique_ptr<Decoder> makeHsb180Decoder() { return std::make_unique<Hsb180Decoder>(); }

}  // namespace zindra::decoders
