// SDN: 15-byte STX telegrams with a four-digit number A, a two-digit number B
// and a state pair that names the state.
#include "decoders/event_format.h"
#include "decoders/registry.h"
#include "decoders/stx_frame.h"

namespace zindra::decoders {
namespace {

// Only 0xE8..0xEF are remapped; ACK and NAK are named besides the usual
// control bytes.
const RenderStyle& sdnStyle() {
    static const RenderStyle style = RenderStyle().remapRange(0xE8, 0xEF, 0x00).nameControls().nameAckNak();
    return style;
}

// The two ASCII nibbles at positions 3-4 carry the state byte.
constexpr CodeText SdnStates[] = {
    {codePair(':', '5'), "Alarm"},        // 0xA5
    {codePair(';', '0'), "St\xF6rung"},   // 0xB0
    {codePair('>', '9'), "Abschaltung"},  // 0xE9
    {codePair('>', ';'), "Ruhe"},         // 0xEB
};

// Number A: thousands from the low nibble at 2; hundreds (11), tens (12) and
// units (6) as whole bytes minus 0x30.  Number B: low nibbles at 7 and 8.
void sdnEvent(Frame& frame, const DecoderState& st, DecoderOutput& out) {
    if (!alignStx(frame, st.frameLength)) {
        writeStateEvent(out, Protocol::Sdn, st, EvaluationProblem);
        return;
    }
    const std::int32_t a =
        (frame[2] & 0x0F) * 1000 + (frame[11] - 0x30) * 100 + (frame[12] - 0x30) * 10 + (frame[6] - 0x30);
    const std::int32_t b = ((frame[7] & 0x0F) * 10 + (frame[8] & 0x0F)) & 0xFF;
    const char* word = lookupText(SdnStates, codePair(frame[3], frame[4]));
    if (word == nullptr) return;
    EventColumns(out, Protocol::Sdn, st).numbersAB(a, b).state(word).finish();
}

class SdnDecoder final : public Decoder {
public:
    void decode(DecoderState& st, DecoderOutput& out) override {
        decodeStxTelegrams(st, out, StxFrameEnd::Fixed15, sdnStyle(),
                           [&](Frame& frame) { sdnEvent(frame, st, out); });
    }
};

}  // namespace

std::unique_ptr<Decoder> makeSdnDecoder() { return std::make_unique<SdnDecoder>(); }

}  // namespace zindra::decoders
