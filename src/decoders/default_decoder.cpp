// The decoder in force whenever no panel type has been identified: blocks of
// 15 bytes from an STX, and single bytes between them.
#include "decoders/decoder.h"
#include "decoders/registry.h"
#include "decoders/render.h"

namespace zindra::decoders {
namespace {

class DefaultDecoder final : public Decoder {
public:
    void decode(DecoderState& st, DecoderOutput& out) override {
        out.clear();
        st.moreData = true;
        while (!st.ringEmpty()) {
            // A frame another decoder left at 15 bytes or more is closed as it
            // stands, so that nothing is ever stored past FrameBuffer.
            if (st.inFrame && st.frameLength >= 15) {
                st.inFrame = false;
                renderDefault(st.frameBuffer.data(), 15, out.textLine, out.hexLine);
                return;
            }
            const std::uint8_t b = st.takeByte();
            if (b == FrameStartByte && !st.inFrame) {
                st.inFrame = true;
                st.frameBuffer[0] = b;
                st.frameLength = 1;
                continue;
            }
            if (st.inFrame) {
                st.storeByte(b);
                if (st.frameLength < 15) continue;
                st.inFrame = false;
                renderDefault(st.frameBuffer.data(), 15, out.textLine, out.hexLine);
                return;
            }
            renderDefault(&b, 1, out.textLine, out.hexLine);
            return;
        }
        st.moreData = false;
    }
};

}  // namespace

std::unique_ptr<Decoder> makeDefaultDecoder() { return std::make_unique<DefaultDecoder>(); }

}  // namespace zindra::decoders
