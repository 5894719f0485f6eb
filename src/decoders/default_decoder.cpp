// The decoder in force whenever no panel type has been identified: blocks of
// 15 bytes from an STX, and single bytes between them.
#include "decoders/decoder.h"
#include "decoders/framing.h"
#include "decoders/registry.h"
#include "decoders/render.h"

namespace zindra::decoders {
namespace {

constexpr int BlockLength = 15;

class DefaultDecoder final : public Decoder {
public:
    void decode(DecoderState& st, DecoderOutput& out) override {
        // A frame another decoder left at 15 bytes or more is closed as it
        // stands once a byte waits, so that nothing is stored past the buffer;
        // a block always shows its first 15 bytes.
        FrameOptions options;
        options.fullAt = BlockLength;
        options.fullNeedsData = true;
        const auto closes = [](const std::uint8_t*, std::int32_t length) { return length >= BlockLength; };
        decodeFrames(
            st, out, isStx, closes, options,
            [&](std::uint8_t b) { renderDefault(&b, 1, out.textLine, out.hexLine); },
            [&](Frame& frame) { renderDefault(frame.data(), BlockLength, out.textLine, out.hexLine); });
    }
};

}  // namespace

std::unique_ptr<Decoder> makeDefaultDecoder() { return std::make_unique<DefaultDecoder>(); }

}  // namespace zindra::decoders
