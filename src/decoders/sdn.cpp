// SDN: 15-byte STX telegrams with a four-digit number A, a two-digit number B
// and a state pair that names the state.
#include "decoders/registry.h"
#include "decoders/ugm_family.h"

namespace zindra::decoders {
namespace {

// Only 0xE8..0xEF are remapped; ACK and NAK are named besides the usual
// control bytes.
const RenderStyle& sdnStyle() {
    static const RenderStyle style = RenderStyle()
                                         .remapRange(0xE8, 0xEF, 0x00)
                                         .nameControls()
                                         .nameAckNak();
    return style;
}

// The two ASCII nibbles at positions 3-4 carry the state byte.
const char* sdnStateWord(std::uint8_t high, std::uint8_t low) {
    if (high == ':' && low == '5') return "Alarm";              // 0xA5
    if (high == ';' && low == '0') return "St\xF6rung";         // 0xB0
    if (high == '>' && low == '9') return "Abschaltung";        // 0xE9
    if (high == '>' && low == ';') return "Ruhe";               // 0xEB
    return nullptr;
}

// Number A: thousands from the low nibble at 2; hundreds (11), tens (12) and
// units (6) as whole bytes minus 0x30.  Number B: low nibbles at 7 and 8.
void sdnEventLine(Frame& frame, int length, std::string& eventLine) {
    eventLine.clear();
    if (!moveStxToFront(frame, length)) {
        eventLine.append(EvaluationProblem);
        return;
    }
    const std::int32_t a =
        (frame[2] & 0x0F) * 1000 + (frame[11] - 0x30) * 100 + (frame[12] - 0x30) * 10 + (frame[6] - 0x30);
    const std::int32_t b = ((frame[7] & 0x0F) * 10 + (frame[8] & 0x0F)) & 0xFF;
    const char* word = sdnStateWord(frame[3], frame[4]);
    if (word == nullptr) return;
    appendPadded(eventLine, a, 3, 6);
    eventLine.append("    ");
    appendPadded(eventLine, b, 2, 5);
    eventLine.append("    ");
    eventLine.append(word);
}

class SdnDecoder final : public Decoder {
public:
    void decode(DecoderState& st, DecoderOutput& out) override {
        out.clear();
        st.moreData = true;
        Frame frame;
        if (assembleStxFrame(st, StxFrameEnd::Fixed15, sdnStyle(), out, frame) == StxStep::Closed) {
            sdnEventLine(frame, st.frameLength, out.eventLine);
        }
    }
};

}  // namespace

std::unique_ptr<Decoder> makeSdnDecoder() { return std::make_unique<SdnDecoder>(); }

}  // namespace zindra::decoders
