// IGIS: no telegrams; every byte is shown on its own as hex in both panes, a
// continuous dump of the link.  0xF0 and 0x70 stand for 0x08 and 0x88.
#include "decoders/decoder.h"
#include "decoders/registry.h"
#include "decoders/render.h"

namespace zindra::decoders {
namespace {

// No names and an empty character range: the text shows every byte as hex.
const RenderStyle& igisStyle() {
    static const RenderStyle style = RenderStyle().remapByte(0xF0, 0x08).remapByte(0x70, 0x88).chars(0x01, 0x00);
    return style;
}

class IgisDecoder final : public Decoder {
public:
    void decode(DecoderState& st, DecoderOutput& out) override {
        out.clear();
        st.moreData = true;
        if (st.ringEmpty()) {
            st.moreData = false;
            return;
        }
        const std::uint8_t b = st.takeByte();
        st.frameBuffer[0] = b;
        renderBytes(&b, 1, igisStyle(), out.textLine, out.hexLine);
    }
};

}  // namespace

std::unique_ptr<Decoder> makeIgisDecoder() { return std::make_unique<IgisDecoder>(); }

}  // namespace zindra::decoders
