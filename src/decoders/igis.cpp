// IGIS: no telegrams; every byte is shown on its own as hex in both panes, a
// continuous dump of the link.  0xF0 and 0x70 stand for 0x08 and 0x88.
#include "decoders/decoder.h"
#include "decoders/registry.h"

namespace zindra::decoders {
namespace {

// One call per byte of the link, so this stays a few appends: no names and no
// characters, every value as two hex digits in both lines; a remapped byte is
// marked with "." (". 08 " in the text, " .08" in the hex).
void renderIgis(std::uint8_t b, std::string& text, std::string& hex) {
    static constexpr char digits[] = "0123456789ABCDEF";
    const bool marked = b == 0xF0 || b == 0x70;
    if (marked) b = b == 0xF0 ? 0x08 : 0x88;
    const char hi = digits[b >> 4];
    const char lo = digits[b & 0x0F];
    text.resize(marked ? 5 : 3);
    hex.resize(marked ? 4 : 3);
    char* t = text.data();
    char* h = hex.data();
    if (marked) {
        *t++ = '.';
        *t++ = ' ';
        *h++ = ' ';
        *h++ = '.';
    } else {
        *h++ = ' ';
    }
    t[0] = hi;
    t[1] = lo;
    t[2] = ' ';
    h[0] = hi;
    h[1] = lo;
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
        renderIgis(b, out.textLine, out.hexLine);
    }
};

}  // namespace

std::unique_ptr<Decoder> makeIgisDecoder() { return std::make_unique<IgisDecoder>(); }

}  // namespace zindra::decoders
