#include "decoders/telegram_render.h"

#include "decoders/framing.h"

#include <algorithm>

namespace zindra::decoders {

namespace {

constexpr int MaxLine = 100;
constexpr int HeadBytes = 3;  // indexes 0 .. 2 are never shown as characters

// Names only in the head and from index 61 on.
bool namedInHeadOrTail(int i, int /*n*/) { return i < 3 || i >= 61; }

const RenderStyle& stxPrinterStyle() {
    static const RenderStyle style = [] {
        RenderStyle s;
        s.remapRange(0xE8, 0xEF, 0x00)
            .remapByte(0xFD, 0x15)
            .nameControls()
            .nameAckNak()
            .chars(0x1A, 0x7F);
        s.nameAt = namedInHeadOrTail;
        return s;
    }();
    return style;
}

class StxPrinterDecoder final : public Decoder {
public:
    void decode(DecoderState& st, DecoderOutput& out) override {
        // Both headers are emptied here too: when the ring runs dry the
        // headers of the previous line must not be shown again.
        out.clear();
        st.moreData = true;
        std::uint8_t b = 0;
        Frame frame;
        // A frame taken over from another decoder may already be longer than
        // a printer line; it closes with the next byte.
        const auto closes = [](const DecoderState& s) {
            return lastByte(s) == FrameEndByte || s.frameLength >= MaxLine;
        };
        switch (nextFrame(st, isStx, closes, b, frame)) {
            case FrameStep::Stray: renderWithHeaders(&b, 1, stxPrinterStyle(), HeadBytes, out); return;
            case FrameStep::Closed:
                renderWithHeaders(frame.data(), st.frameLength, stxPrinterStyle(), HeadBytes, out);
                return;
            case FrameStep::Empty: return;
        }
    }
};

}  // namespace

std::unique_ptr<Decoder> makeStxPrinterDecoder() { return std::make_unique<StxPrinterDecoder>(); }


void renderWithHeaders(const std::uint8_t* bytes, int n, const RenderStyle& style, int charsFrom,
                       DecoderOutput& out) {
    std::string& text = out.textLine;
    std::string& hex = out.hexLine;
    text.clear();
    hex.clear();
    out.textHeader.clear();
    out.hexHeader.clear();
    std::uint8_t prev = 0;
    for (int i = 0; i < n; ++i) {
        std::uint8_t v = bytes[i];
        const std::int16_t mapped = style.remap[v];
        if (mapped >= 0) {
            v = static_cast<std::uint8_t>(mapped);
            text.push_back('.');
            hex.append(" .");
        } else {
            hex.push_back(' ');
        }
        appendHex(hex, v);

        const bool afterEtx = prev == FrameEndByte;
        const char* name = style.names[v];
        if (name != nullptr && !afterEtx && (style.nameAt == nullptr || style.nameAt(i, n))) {
            text.append(name);
        } else if (i >= charsFrom && v >= style.charLow && v <= style.charHigh &&
                   (style.charsAfterEtx || !afterEtx)) {
            text.push_back(static_cast<char>(v));
        } else {
            if (!text.empty() && text.back() != ' ') text.push_back(' ');
            appendHex(text, v);
            text.push_back(' ');
        }

        // swap keeps the capacity of both strings for the next call.
        if (text.size() >= HeaderSplitAt) {
            out.textHeader.swap(text);
            text.clear();
        }
        if (hex.size() >= HeaderSplitAt) {
            out.hexHeader.swap(hex);
            hex.clear();
        }
        prev = v;
    }
}

bool stxNearStart(const std::array<std::uint8_t, FrameBufferSize>& frame) {
    return std::find(frame.begin(), frame.begin() + 21, FrameStartByte) != frame.begin() + 21;
}

}  // namespace zindra::decoders
