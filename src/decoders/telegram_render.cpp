#include "decoders/telegram_render.h"

#include <algorithm>
#include <charconv>
#include <cstring>

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

bool alignFrameStart(std::array<std::uint8_t, FrameBufferSize>& frame, int length) {
    if (frame[0] == FrameStartByte) return true;
    const int last = std::min(std::max(1, length - 15), FrameBufferSize - 1);
    for (int p = 1; p <= last; ++p) {
        if (frame[static_cast<std::size_t>(p)] != FrameStartByte) continue;
        // Positions p .. length, as far as the buffer reaches.
        const int end = std::min(length, FrameBufferSize - 1);
        if (end >= p) std::memmove(frame.data(), frame.data() + p, static_cast<std::size_t>(end - p + 1));
        return true;
    }
    return false;
}

bool stxNearStart(const std::array<std::uint8_t, FrameBufferSize>& frame) {
    return std::find(frame.begin(), frame.begin() + 21, FrameStartByte) != frame.begin() + 21;
}

void appendPadded(std::string& out, std::string_view digits, std::size_t zeroWidth, std::size_t spaceWidth) {
    const std::size_t zeros = digits.size() < zeroWidth ? zeroWidth - digits.size() : 0;
    const std::size_t filled = digits.size() + zeros;
    if (filled < spaceWidth) out.append(spaceWidth - filled, ' ');
    out.append(zeros, '0');
    out.append(digits);
}

void appendPadded(std::string& out, std::int64_t value, std::size_t zeroWidth, std::size_t spaceWidth) {
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, value);
    appendPadded(out, std::string_view(buf, static_cast<std::size_t>(res.ptr - buf)), zeroWidth, spaceWidth);
}

void appendPadded(std::string& out, std::uint64_t value, std::size_t zeroWidth, std::size_t spaceWidth) {
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, value);
    appendPadded(out, std::string_view(buf, static_cast<std::size_t>(res.ptr - buf)), zeroWidth, spaceWidth);
}

}  // namespace zindra::decoders
