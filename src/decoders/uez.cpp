// UEZ: framed and rendered as UGM; the event fields lie elsewhere and number A
// is four nibbles wide.
#include "decoders/event_format.h"
#include "decoders/registry.h"
#include "decoders/stx_frame.h"

namespace zindra::decoders {
namespace {

// Number A: low byte first at positions 3-4, high byte at 5-6, each byte high
// nibble first; whole bytes minus 0x30.  B (13-14) and C (7-8) mask the low
// nibble.
void uezEvent(Frame& frame, const DecoderState& st, DecoderOutput& out) {
    if (!alignStx(frame, st.frameLength)) {
        writeStateEvent(out, Protocol::Uez, st, EvaluationProblem);
        return;
    }
    if (frame[1] == '2' && frame[2] == '<') return;
    const std::int32_t a =
        (frame[5] - 0x30) * 4096 + (frame[6] - 0x30) * 256 + (frame[3] - 0x30) * 16 + (frame[4] - 0x30);
    const std::int32_t b = (frame[13] & 0x0F) * 16 + (frame[14] & 0x0F);
    const auto c = static_cast<std::uint8_t>((frame[7] & 0x0F) * 16 + (frame[8] & 0x0F));
    EventColumns(out, Protocol::Uez, st).numbersAB(a, b).codeColumns(c).finish();
}

class UezDecoder final : public Decoder {
public:
    void decode(DecoderState& st, DecoderOutput& out) override {
        decodeStxTelegrams(st, out, StxFrameEnd::AfterEtx, ugmRenderStyle(),
                           [&](Frame& frame) { uezEvent(frame, st, out); });
    }
};

}  // namespace

std::unique_ptr<Decoder> makeUezDecoder() { return std::make_unique<UezDecoder>(); }

}  // namespace zindra::decoders
