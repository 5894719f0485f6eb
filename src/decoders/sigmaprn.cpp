// SIGMAPRN: printer lines of a SIGMA panel, STX .. ETX, at most 100 bytes.
// Rendered only; long lines spill into the header lines.
#include "decoders/decoder.h"
#include "decoders/registry.h"
#include "decoders/telegram_render.h"

namespace zindra::decoders {
namespace {

constexpr int MaxLine = 100;
constexpr int HeadBytes = 3;  // indexes 0 .. 2 are never shown as characters

// Names only in the head and from index 61 on.
bool namedInHeadOrTail(int i, int /*n*/) { return i < 3 || i >= 61; }

const RenderStyle& sigmaPrnStyle() {
    static const RenderStyle style = [] {
        RenderStyle s;
        s.remapRange(0xE8, 0xEF, 0x00)
            .remapByte(0xFD, 0x15)
            .name(0x02, "<STX> ")
            .name(0x03, "<ETX> ")
            .name(0x04, "<EOT> ")
            .name(0x05, "<ENQ> ")
            .name(0x06, "<ACK> ")
            .name(0x10, "<DLE> ")
            .name(0x15, "<NAK> ")
            .chars(0x1A, 0x7F);
        s.nameAt = namedInHeadOrTail;
        return s;
    }();
    return style;
}

void renderSigmaPrn(const std::uint8_t* bytes, int n, DecoderOutput& out) {
    renderWithHeaders(bytes, n, sigmaPrnStyle(), HeadBytes, out);
}

class SigmaPrnDecoder final : public Decoder {
public:
    void decode(DecoderState& st, DecoderOutput& out) override {
        out.clear();
        st.moreData = true;
        while (!st.ringEmpty()) {
            const std::uint8_t b = st.takeByte();
            if (b == FrameStartByte && !st.inFrame) {
                st.inFrame = true;
                st.frameLength = 0;
                st.storeByte(b);
                continue;
            }
            if (!st.inFrame) {
                st.frameBuffer[0] = b;
                renderSigmaPrn(&b, 1, out);
                return;
            }
            st.storeByte(b);
            // A frame taken over from another decoder may already be longer
            // than a printer line; it closes with the next byte.
            if (b == FrameEndByte || st.frameLength >= MaxLine) {
                st.inFrame = false;
                const std::array<std::uint8_t, FrameBufferSize> frame = st.frameBuffer;
                renderSigmaPrn(frame.data(), st.frameLength, out);
                return;
            }
        }
        // Nothing to show: the headers of the previous call must not be shown
        // again (out.clear() above has emptied them).
        st.moreData = false;
    }
};

}  // namespace

std::unique_ptr<Decoder> makeSigmaPrnDecoder() { return std::make_unique<SigmaPrnDecoder>(); }

}  // namespace zindra::decoders
