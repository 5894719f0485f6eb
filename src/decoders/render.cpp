#include "decoders/render.h"

#include "decoders/state.h"

namespace zindra::decoders {

RenderStyle::RenderStyle() {
    remap.fill(-1);
    names.fill(nullptr);
}

RenderStyle& RenderStyle::remapRange(std::uint8_t from, std::uint8_t to, std::uint8_t firstValue) {
    for (int b = from; b <= to; ++b) remap[static_cast<std::size_t>(b)] = static_cast<std::int16_t>(firstValue + (b - from));
    return *this;
}

RenderStyle& RenderStyle::remapByte(std::uint8_t from, std::uint8_t value) {
    remap[from] = value;
    return *this;
}

RenderStyle& RenderStyle::name(std::uint8_t value, const char* text) {
    names[value] = text;
    return *this;
}

RenderStyle& RenderStyle::chars(std::uint8_t low, std::uint8_t high) {
    charLow = low;
    charHigh = high;
    return *this;
}

const RenderStyle& defaultRenderStyle() {
    static const RenderStyle style = RenderStyle()
                                         .remapRange(0xE8, 0xEF, 0x00)
                                         .name(0x02, "<STX> ")
                                         .name(0x03, "<ETX> ")
                                         .name(0x04, "<EOT> ")
                                         .name(0x05, "<ENQ> ")
                                         .name(0x10, "<DLE> ");
    return style;
}

void renderBytes(const std::uint8_t* bytes, int n, const RenderStyle& style, std::string& text,
                 std::string& hex) {
    text.clear();
    hex.clear();
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
        } else if (v >= style.charLow && v <= style.charHigh && (style.charsAfterEtx || !afterEtx)) {
            text.push_back(static_cast<char>(v));
        } else {
            if (!text.empty() && text.back() != ' ') text.push_back(' ');
            appendHex(text, v);
            text.push_back(' ');
        }
        prev = v;
    }
}

}  // namespace zindra::decoders
