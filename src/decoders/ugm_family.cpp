#include "decoders/ugm_family.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace zindra::decoders {

namespace {

bool frameCloses(const std::uint8_t* buffer, std::int32_t length, StxFrameEnd end) {
    if (end == StxFrameEnd::Fixed15) return length >= 15;
    // The telegram ends with the byte that follows the first raw ETX (its
    // check byte); one that never brings an ETX is cut off at 37 bytes.
    const bool afterEtx = length >= 2 && buffer[length - 2] == FrameEndByte;
    return afterEtx || length > 36;
}

}  // namespace

const RenderStyle& ugmRenderStyle() {
    static const RenderStyle style = RenderStyle()
                                         .remapRange(0xE8, 0xEF, 0x00)
                                         .remapByte(0xF8, 0x10)
                                         .remapByte(0x18, 0x30)
                                         .remapByte(0x19, 0x31)
                                         .nameControls();
    return style;
}

StxStep assembleStxFrame(DecoderState& st, StxFrameEnd end, const RenderStyle& style,
                         DecoderOutput& out, Frame& frame) {
    // The ring indexes and the frame state live in locals for the loop and
    // go back at every exit: byte stores into the frame buffer would
    // otherwise make the compiler reload them for every byte.
    std::int32_t readIndex = st.readIndex;
    const std::int32_t writeIndex = st.writeIndex;
    std::int32_t length = st.frameLength;
    bool inFrame = st.inFrame;
    const std::uint8_t* ring = st.receiveRing.data();
    std::uint8_t* buffer = st.frameBuffer.data();
    const auto writeBack = [&] {
        st.readIndex = readIndex;
        st.frameLength = length;
        st.inFrame = inFrame;
    };
    // A frame that another decoder left full is closed as it stands.
    while (!(inFrame && (length >= FrameBufferSize - 1 || length < 0))) {
        if (readIndex == writeIndex) {
            writeBack();
            st.moreData = false;
            return StxStep::Empty;
        }
        const std::uint8_t b = ring[readIndex];
        readIndex = readIndex >= 1024 ? 0 : readIndex + 1;
        if (!inFrame) {
            buffer[0] = b;
            if (b == FrameStartByte) {
                inFrame = true;
                length = 1;
                continue;
            }
            writeBack();
            renderBytes(&b, 1, style, out.textLine, out.hexLine);
            return StxStep::Stray;
        }
        buffer[length++] = b;
        if (frameCloses(buffer, length, end)) break;
    }
    inFrame = false;
    writeBack();
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

namespace {

// Writes value in decimal, "0"-filled to zeroWidth and then " "-filled to
// width characters (the filling counts characters, so -5 becomes "   0-5").
// The buffer holds at least width + 32 characters.
char* putPadded(char* p, std::int32_t value, int zeroWidth, int width) {
    char digits[16];
    const auto res = std::to_chars(digits, digits + sizeof digits, value);
    const int len = static_cast<int>(res.ptr - digits);
    const int zeros = std::max(0, zeroWidth - len);
    const int spaces = std::max(0, width - len - zeros);
    // Fixed-size copies, then the pointer moves by what counts; the caller's
    // buffer has room for the overshoot.
    if (spaces <= 16 && zeros <= 16) {
        std::memcpy(p, "                ", 16);
        p += spaces;
        std::memcpy(p, "0000000000000000", 16);
        p += zeros;
    } else {
        std::memset(p, ' ', static_cast<std::size_t>(spaces));
        p += spaces;
        std::memset(p, '0', static_cast<std::size_t>(zeros));
        p += zeros;
    }
    std::memcpy(p, digits, 16);
    return p + len;
}

char* putGap(char* p) {
    std::memcpy(p, "    ", 4);
    return p + 4;
}

}  // namespace

void appendPadded(std::string& out, std::int32_t value, int zeroWidth, int width) {
    if (width > 32 || zeroWidth > 32) {
        const std::size_t at = out.size();
        out.append(static_cast<std::size_t>(std::max(width, zeroWidth)) + 32, ' ');
        char* begin = out.data() + at;
        out.resize(at + static_cast<std::size_t>(putPadded(begin, value, zeroWidth, width) - begin));
        return;
    }
    char buf[80];
    out.append(buf, static_cast<std::size_t>(putPadded(buf, value, zeroWidth, width) - buf));
}

void appendNumberEvent(std::string& out, std::int32_t a, std::int32_t b, std::uint8_t c) {
    // One buffer and one append: this runs for every telegram.
    static constexpr char hexDigits[] = "0123456789ABCDEF";
    char buf[128];
    char* p = putPadded(buf, a, 3, 6);
    p = putGap(p);
    p = putPadded(p, b, 2, 5);
    p = putGap(p);
    p = putPadded(p, c, 2, 5);
    p = putGap(p);
    *p++ = hexDigits[c >> 4];
    *p++ = hexDigits[c & 0x0F];
    out.append(buf, static_cast<std::size_t>(p - buf));
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
