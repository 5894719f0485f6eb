// UEZ: framed and rendered as UGM; the event fields lie elsewhere and number A
// is four nibbles wide.
#include "decoders/registry.h"
#include "decoders/ugm_family.h"

namespace zindra::decoders {
namespace {

// Number A: low byte first at positions 3-4, high byte at 5-6, each byte high
// nibble first; whole bytes minus 0x30.  B (13-14) and C (7-8) mask the low
// nibble.
void uezEventLine(Frame& frame, int length, std::string& eventLine) {
    eventLine.clear();
    if (!moveStxToFront(frame, length)) {
        eventLine.append(EvaluationProblem);
        return;
    }
    if (frame[1] == '2' && frame[2] == '<') return;
    const std::int32_t a =
        (frame[5] - 0x30) * 4096 + (frame[6] - 0x30) * 256 + (frame[3] - 0x30) * 16 + (frame[4] - 0x30);
    const std::int32_t b = (frame[13] & 0x0F) * 16 + (frame[14] & 0x0F);
    const auto c = static_cast<std::uint8_t>((frame[7] & 0x0F) * 16 + (frame[8] & 0x0F));
    appendNumberEvent(eventLine, a, b, c);
}

class UezDecoder final : public Decoder {
public:
    void decode(DecoderState& st, DecoderOutput& out) override {
        out.clear();
        st.moreData = true;
        Frame frame;
        if (assembleStxFrame(st, StxFrameEnd::AfterEtx, ugmRenderStyle(), out, frame) == StxStep::Closed) {
            uezEventLine(frame, st.frameLength, out.eventLine);
        }
    }
};

}  // namespace

std::unique_ptr<Decoder> makeUezDecoder() { return std::make_unique<UezDecoder>(); }

}  // namespace zindra::decoders
