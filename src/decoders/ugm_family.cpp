#include "decoders/ugm_family.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace zindra::decoders {

namespace {

bool frameCloses(const DecoderState& st, StxFrameEnd end) {
    if (end == StxFrameEnd::Fixed15) return st.frameLength >= 15;
    // The telegram ends with the byte that follows the first raw ETX (its
    // check byte); one that never brings an ETX is cut off at 37 bytes.
    const bool afterEtx =
        st.frameLength >= 2 && st.frameBuffer[static_cast<std::size_t>(st.frameLength - 2)] == FrameEndByte;
    return afterEtx || st.frameLength > 36;
}

}  // namespace

const RenderStyle& ugmRenderStyle() {
    static const RenderStyle style = RenderStyle()
                                         .remapRange(0xE8, 0xEF, 0x00)
                                         .remapByte(0xF8, 0x10)
                                         .remapByte(0x18, 0x30)
                                         .remapByte(0x19, 0x31)
                                         .name(0x02, "<STX> ")
                                         .name(0x03, "<ETX> ")
                                         .name(0x04, "<EOT> ")
                                         .name(0x05, "<ENQ> ")
                                         .name(0x10, "<DLE> ");
    return style;
}

StxStep assembleStxFrame(DecoderState& st, StxFrameEnd end, const RenderStyle& style,
                         DecoderOutput& out, Frame& frame) {
    while (!(st.inFrame && frameFull(st))) {
        if (st.ringEmpty()) {
            st.moreData = false;
            return StxStep::Empty;
        }
        const std::uint8_t b = st.takeByte();
        if (!st.inFrame) {
            st.frameBuffer[0] = b;
            if (b == FrameStartByte) {
                st.inFrame = true;
                st.frameLength = 1;
                continue;
            }
            renderBytes(&b, 1, style, out.textLine, out.hexLine);
            return StxStep::Stray;
        }
        st.storeByte(b);
        if (frameCloses(st, end)) break;
    }
    st.inFrame = false;
    frame = st.frameBuffer;
    renderBytes(frame.data(), st.frameLength, style, out.textLine, out.hexLine);
    return StxStep::Closed;
}

bool moveStxToFront(Frame& frame, int length) {
    if (frame[0] == FrameStartByte) return true;
    const int last = std::min(std::max(1, length - 15), FrameBufferSize - 1);
    for (int p = 1; p <= last; ++p) {
        if (frame[static_cast<std::size_t>(p)] != FrameStartByte) continue;
        // The bytes at p .. length move down to 0 .. length-p; what lies
        // behind them stays where it was.
        const int endPos = std::clamp(length, p, FrameBufferSize - 1);
        std::memmove(frame.data(), frame.data() + p, static_cast<std::size_t>(endPos - p + 1));
        return true;
    }
    return false;
}

void appendPadded(std::string& out, std::int32_t value, int zeroWidth, int width) {
    char digits[16];
    const auto res = std::to_chars(digits, digits + sizeof digits, value);
    const int len = static_cast<int>(res.ptr - digits);
    const int zeros = std::max(0, zeroWidth - len);
    const int spaces = std::max(0, width - len - zeros);
    out.append(static_cast<std::size_t>(spaces), ' ');
    out.append(static_cast<std::size_t>(zeros), '0');
    out.append(digits, static_cast<std::size_t>(len));
}

void appendNumberEvent(std::string& out, std::int32_t a, std::int32_t b, std::uint8_t c) {
    appendPadded(out, a, 3, 6);
    out.append("    ");
    appendPadded(out, b, 2, 5);
    out.append("    ");
    appendPadded(out, c, 2, 5);
    out.append("    ");
    appendHex(out, c);
}

void FaultMemory::reportChanges(std::string& out) {
    const char* text = nullptr;
    if (disablement != reportedDisablement) {
        text = disablement ? " Abschaltung" : " keine Abschaltung ";
        reportedDisablement = disablement;
    }
    if (fault != reportedFault) {
        text = fault ? " Stoerung " : " keine Stoerung ";
        reportedFault = fault;
    }
    if (text != nullptr) out.append(text);
}

}  // namespace zindra::decoders
