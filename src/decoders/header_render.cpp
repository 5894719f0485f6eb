#include "decoders/header_render.h"

namespace zindra::decoders {

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

}  // namespace zindra::decoders
