// The byte-rendering scheme that the default decoder and most protocol
// decoders share, with the few parameters in which they differ.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace zindra::decoders {

struct RenderStyle {
    // remap[b] >= 0: a received byte b stands for that value; it is marked
    // with "." in the text and " ." in the hex.  -1: shown as received.
    std::array<std::int16_t, 256> remap;
    // names[v]: the name a control byte of (remapped) value v gets in the
    // text, with its trailing space; nullptr for none.  Names are never given
    // to the byte right after an ETX.
    std::array<const char*, 256> names;
    // Values charLow .. charHigh that were not named are shown as themselves.
    std::uint8_t charLow = 0x2A;
    std::uint8_t charHigh = 0x3F;
    // false: a byte right after an ETX is shown as hex even inside the range.
    bool charsAfterEtx = true;
    // When set, names are given only at the positions i (0-based within the
    // call, n bytes in all) for which it returns true.
    bool (*nameAt)(int i, int n) = nullptr;

    RenderStyle();
    RenderStyle& remapRange(std::uint8_t from, std::uint8_t to, std::uint8_t firstValue);
    RenderStyle& remapByte(std::uint8_t from, std::uint8_t value);
    RenderStyle& name(std::uint8_t value, const char* text);
    // "<STX> ", "<ETX> ", "<EOT> ", "<ENQ> " and "<DLE> ".
    RenderStyle& nameControls();
    // "<ACK> " and "<NAK> " besides.
    RenderStyle& nameAckNak();
    RenderStyle& chars(std::uint8_t low, std::uint8_t high);
};

// 0xE8..0xEF remapped to 0..7; STX, ETX, EOT, ENQ and DLE named; 0x2A..0x3F
// as characters: the default decoder's scheme.
const RenderStyle& defaultRenderStyle();

// Renders n bytes into text and hex (both emptied first).  The previous-byte
// memory starts at 0 for each call.
void renderBytes(const std::uint8_t* bytes, int n, const RenderStyle& style, std::string& text,
                 std::string& hex);

// The default decoder's rendering routine.
inline void renderDefault(const std::uint8_t* bytes, int n, std::string& text, std::string& hex) {
    renderBytes(bytes, n, defaultRenderStyle(), text, hex);
}

}  // namespace zindra::decoders
