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
        // A frame taken over from another decoder may already be longer than
        // a printer line; it closes with the next byte.  Both headers are
        // emptied with the other outputs: when the ring runs dry the headers
        // of the previous line must not be shown again.
        const auto closes = [](const std::uint8_t* buffer, std::int32_t length) {
            return buffer[length - 1] == FrameEndByte || length >= MaxLine;
        };
        decodeFrames(
            st, out, isStx, closes, FrameOptions{},
            [&](std::uint8_t b) { renderWithHeaders(&b, 1, stxPrinterStyle(), HeadBytes, out); },
            [&](Frame& frame) {
                renderWithHeaders(frame.data(), st.frameLength, stxPrinterStyle(), HeadBytes, out);
                recordPrinterLine(out, protocol_, frame.data(), st.frameLength, HeadBytes);
            });
    }

private:
    Protocol protocol_;
};

}  // namespace

std::unique_ptr<Decoder> makeStxPrinterDecoder(Protocol p) { return std::make_unique<StxPrinterDecoder>(p); }

}  // namespace zindra::decoders
