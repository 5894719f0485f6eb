// Plain-text printer lines (ALGOREX, IGIS printer): each call hands on the
// bytes up to and including the next LF, or whatever has arrived when the ring
// runs dry.  No frames: InFrame and FrameLength are left alone.
#include "decoders/decoder.h"
#include "decoders/registry.h"

namespace zindra::decoders {
namespace {

constexpr std::uint8_t LineFeed = 0x0A;

// One byte: the text gets bytes below 0x80 as they are (control characters
// included) and higher ones as hex; the hex gets every byte.
void renderPlainText(std::uint8_t b, DecoderOutput& out) {
    out.hexLine.push_back(' ');
    appendHex(out.hexLine, b);
    if (b < 0x80) {
        out.textLine.push_back(static_cast<char>(b));
    } else {
        appendHex(out.textLine, b);
        out.textLine.push_back(' ');
    }
}

class PlainTextDecoder final : public Decoder {
public:
    void decode(DecoderState& st, DecoderOutput& out) override {
        out.clear();
        st.moreData = true;
        while (!st.ringEmpty()) {
            const std::uint8_t b = st.takeByte();
            st.frameBuffer[0] = b;
            renderPlainText(b, out);
            if (b == LineFeed) return;
        }
        // The part of a line read so far goes out now; the rest follows as a
        // piece of its own.
        st.moreData = false;
    }
};

}  // namespace

std::unique_ptr<Decoder> makePlainTextDecoder() { return std::make_unique<PlainTextDecoder>(); }

}  // namespace zindra::decoders
