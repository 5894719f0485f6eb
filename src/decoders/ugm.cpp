// UGM: STX-framed telegrams that end with the byte after the first ETX (or at
// 37 bytes), one event line of number A, number B and code C per telegram.
#include "decoders/event_format.h"
#include "decoders/registry.h"
#include "decoders/stx_frame.h"

namespace zindra::decoders {
namespace {

// Number A: three ASCII nibbles, position 5 high, 3 middle, 4 low.  Whole
// bytes are taken, so a character below "0" subtracts.  B and C use only the
// low nibble of each character.
void ugmEvent(Frame& frame, const DecoderState& st, DecoderOutput& out) {
    if (!alignStx(frame, st.frameLength)) {
        writeStateEvent(out, Protocol::Ugm, st, EvaluationProblem);
        return;
    }
    if (frame[1] == '2' && frame[2] == '<') return;
    const std::int32_t a = (frame[5] - 0x30) * 256 + (frame[3] - 0x30) * 16 + (frame[4] - 0x30);
    const std::int32_t b = (frame[12] & 0x0F) * 16 + (frame[13] & 0x0F);
    const auto c = static_cast<std::uint8_t>((frame[6] & 0x0F) * 16 + (frame[7] & 0x0F));
    EventColumns(out, Protocol::Ugm, st).numbersAB(a, b).codeColumns(c).finish();
}

class UgmDecoder final : public Decoder {
public:
    void decode(DecoderState& st, DecoderOutput& out) override {
        decodeStxTelegrams(st, out, StxFrameEnd::AfterEtx, ugmRenderStyle(),
                           [&](Frame& frame) { ugmEvent(frame, st, out); });
    }
};

}  // namespace

std::unique_ptr<Decoder> makeUgmDecoder() { return std::make_unique<UgmDecoder>(); }

}  // namespace zindra::decoders
