#include "decoders/stx_frame.h"

#include "decoders/framing.h"

namespace zindra::decoders {

const RenderStyle& ugmRenderStyle() {
    static const RenderStyle style = RenderStyle()
                                         .remapRange(0xE8, 0xEF, 0x00)
                                         .remapByte(0xF8, 0x10)
                                         .remapByte(0x18, 0x30)
                                         .remapByte(0x19, 0x31)
                                         .nameControls();
    return style;
}

bool decodeStxFrame(DecoderState& st, StxFrameEnd end, const RenderStyle& style, DecoderOutput& out,
                    Frame& frame) {
    const auto closes = [end](const std::uint8_t* buffer, std::int32_t length) {
        if (end == StxFrameEnd::Fixed15) return length >= 15;
        // The telegram ends with the byte that follows the first raw ETX (its
        // check byte); one that never brings an ETX is cut off at 37 bytes.
        return byteBeforeLast(buffer, length) == FrameEndByte || length > 36;
    };
    FrameOptions options;
    options.fullAt = FrameBufferSize - 1;
    std::uint8_t b = 0;
    switch (nextFrame(st, isStx, closes, options, b, frame)) {
        case FrameStep::Stray: renderBytes(&b, 1, style, out.textLine, out.hexLine); return false;
        case FrameStep::Closed:
            renderBytes(frame.data(), st.frameLength, style, out.textLine, out.hexLine);
            return true;
        case FrameStep::Empty: return false;
    }
    return false;
}

bool alignStx(Frame& frame, int length) { return alignToMarker(frame, length, FrameStartByte, 0, 1); }

}  // namespace zindra::decoders
