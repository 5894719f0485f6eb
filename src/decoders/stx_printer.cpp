#include "decoders/stx_printer.h"

#include "decoders/event_format.h"
#include "decoders/framing.h"
#include "decoders/header_render.h"

namespace zindra::decoders {
namespace {

constexpr int MaxLine = 100;
constexpr int HeadBytes = 3;  // indexes 0 .. 2 are never shown as characters

// Names only in the head and from index 61 on.
bool namedInHeadOrTail(int i, int /*n*/) { return i < 3 || i >= 61; }

const RenderStyle& stxPrinterStyle() {
    static const RenderStyle style = [] {
        RenderStyle s;
        s.remapRange(0xE8, 0xEF, 0x00).remapByte(0xFD, 0x15).nameControls().nameAckNak().chars(0x1A, 0x7F);
        s.nameAt = namedInHeadOrTail;
        return s;
    }();
    return style;
}

class StxPrinterDecoder final : public Decoder {
public:
    explicit StxPrinterDecoder(Protocol p) : protocol_(p) {}

    void decode(DecoderState& st, DecoderOutput& out) override {
        // Both headers are emptied here too: when the ring runs dry the
        // headers of the previous line must not be shown again.
        out.clear();
        st.moreData = true;
        // A frame taken over from another decoder may already be longer than
        // a printer line; it closes with the next byte.
        const auto closes = [](const std::uint8_t* buffer, std::int32_t length) {
            return buffer[length - 1] == FrameEndByte || length >= MaxLine;
        };
        std::uint8_t b = 0;
        Frame frame;
        switch (nextFrame(st, isStx, closes, FrameOptions{}, b, frame)) {
            case FrameStep::Stray: renderWithHeaders(&b, 1, stxPrinterStyle(), HeadBytes, out); return;
            case FrameStep::Closed:
                renderWithHeaders(frame.data(), st.frameLength, stxPrinterStyle(), HeadBytes, out);
                recordPrinterLine(out, protocol_, frame.data(), st.frameLength, HeadBytes);
                return;
            case FrameStep::Empty: return;
        }
    }

private:
    Protocol protocol_;
};

}  // namespace

std::unique_ptr<Decoder> makeStxPrinterDecoder(Protocol p) { return std::make_unique<StxPrinterDecoder>(p); }

}  // namespace zindra::decoders
