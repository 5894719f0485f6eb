#include "decoders/render.h"

#include "decoders/state.h"

#include <cstring>

namespace zindra::decoders {

RenderStyle::RenderStyle() {
    remap.fill(-1);
    names.fill(nullptr);
}

RenderStyle& RenderStyle::remapRange(std::uint8_t from, std::uint8_t to, std::uint8_t firstValue) {
    for (int b = from; b <= to; ++b)
        remap[static_cast<std::size_t>(b)] = static_cast<std::int16_t>(firstValue + (b - from));
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

RenderStyle& RenderStyle::nameControls() {
    return name(0x02, "<STX> ")
        .name(0x03, "<ETX> ")
        .name(0x04, "<EOT> ")
        .name(0x05, "<ENQ> ")
        .name(0x10, "<DLE> ");
}

RenderStyle& RenderStyle::nameAckNak() { return name(0x06, "<ACK> ").name(0x15, "<NAK> "); }

RenderStyle& RenderStyle::chars(std::uint8_t low, std::uint8_t high) {
    charLow = low;
    charHigh = high;
    return *this;
}

const RenderStyle& defaultRenderStyle() {
    static const RenderStyle style = RenderStyle().remapRange(0xE8, 0xEF, 0x00).nameControls();
    return style;
}

namespace {

// " 00" .. " FF" and "00 " .. "FF ", each padded to four bytes so that one
// 4-byte copy writes it.
struct HexTable {
    std::array<std::array<char, 4>, 256> lead{};
    std::array<std::array<char, 4>, 256> trail{};
    HexTable() {
        static constexpr char digits[] = "0123456789ABCDEF";
        for (int v = 0; v < 256; ++v) {
            const char hi = digits[v >> 4];
            const char lo = digits[v & 0x0F];
            lead[static_cast<std::size_t>(v)] = {' ', hi, lo, ' '};
            trail[static_cast<std::size_t>(v)] = {hi, lo, ' ', ' '};
        }
    }
};
const HexTable hexTable;

}  // namespace

void renderBytes(const std::uint8_t* bytes, int n, const RenderStyle& style, std::string& text,
                 std::string& hex) {
    // Built in local buffers and assigned once: a byte takes at most 7
    // characters of text (".<STX> ") and 4 of hex (" .02"); the slack lets
    // the 4-byte copies run past the last character.
    constexpr int Piece = 256;
    char t[Piece * 7 + 8];
    char h[Piece * 4 + 8];
    text.clear();
    hex.clear();
    std::uint8_t prev = 0;
    for (int start = 0; start < n; start += Piece) {
        const int end = n - start < Piece ? n : start + Piece;
        std::size_t tl = 0;
        std::size_t hl = 0;
        // Whether the text so far ends in a space (or is empty), including
        // what earlier pieces appended.
        bool spaced = text.empty() || text.back() == ' ';
        for (int i = start; i < end; ++i) {
            std::uint8_t v = bytes[i];
            const std::int16_t mapped = style.remap[v];
            if (mapped >= 0) {
                v = static_cast<std::uint8_t>(mapped);
                t[tl++] = '.';
                spaced = false;
                h[hl++] = ' ';
                h[hl++] = '.';
                std::memcpy(h + hl, hexTable.trail[v].data(), 4);
                hl += 2;
            } else {
                std::memcpy(h + hl, hexTable.lead[v].data(), 4);
                hl += 3;
            }

            const bool afterEtx = prev == FrameEndByte;
            const char* name = style.names[v];
            if (name != nullptr && !afterEtx && (style.nameAt == nullptr || style.nameAt(i, n))) {
                // Every name is "<XXX> ": six characters ending in a space.
                const std::size_t len = std::strlen(name);
                std::memcpy(t + tl, name, len);
                tl += len;
                spaced = t[tl - 1] == ' ';
            } else if (v >= style.charLow && v <= style.charHigh && (style.charsAfterEtx || !afterEtx)) {
                t[tl++] = static_cast<char>(v);
                spaced = v == ' ';
            } else {
                if (!spaced) t[tl++] = ' ';
                std::memcpy(t + tl, hexTable.trail[v].data(), 4);
                tl += 3;
                spaced = true;
            }
            prev = v;
        }
        text.append(t, tl);
        hex.append(h, hl);
    }
}

}  // namespace zindra::decoders
