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

bool alignStx(Frame& frame, int length) { return alignToMarker(frame, length, FrameStartByte, 0, 1); }

}  // namespace zindra::decoders
