#include "decoders/framing.h"

#include <algorithm>
#include <cstring>

namespace zindra::decoders {

bool markerNear(const Frame& frame, std::uint8_t marker, int from) {
    const auto begin = frame.begin() + from;
    return std::find(begin, begin + 21, marker) != begin + 21;
}

bool alignToMarker(Frame& frame, int length, std::uint8_t marker, int at, int lowestLast) {
    if (frame[static_cast<std::size_t>(at)] == marker) return true;
    const int last = std::min(std::max(lowestLast, length - 15), FrameBufferSize - 1 - at);
    for (int k = 1; k <= last; ++k) {
        if (frame[static_cast<std::size_t>(at + k)] != marker) continue;
        const int end = std::clamp(length, k, FrameBufferSize - 1);
        std::memmove(frame.data(), frame.data() + k, static_cast<std::size_t>(end - k + 1));
        return true;
    }
    return false;
}

}  // namespace zindra::decoders
