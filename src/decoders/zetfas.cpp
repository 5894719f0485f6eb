// ZETFAS: raw telegrams that start with DLE and carry their length (16) in
// that first byte.  Telegrams and stray bytes are shown in hex only; each
// telegram gives one event line with two numbers and a state text.
#include "decoders/decoder.h"
#include "decoders/event_format.h"
#include "decoders/framing.h"
#include "decoders/kind_states.h"
#include "decoders/registry.h"

namespace zindra::decoders {
namespace {

constexpr std::uint8_t Dle = 0x10;

// Hex only; the text stays empty.  0xE8..0xF0 and 0xF2 stand for 0x00..0x08
// and 0x0A and are marked with ".".
void renderZetfas(const std::uint8_t* bytes, int n, std::string& text, std::string& hex) {
    text.clear();
    hex.clear();
    for (int i = 0; i < n; ++i) {
        const std::uint8_t b = bytes[i];
        if ((b >= 0xE8 && b <= 0xF0) || b == 0xF2) {
            hex.append(" .");
            appendHex(hex, static_cast<std::uint8_t>(b - 0xE8));
        } else {
            hex.push_back(' ');
            appendHex(hex, b);
        }
    }
}

// Works on its own copy: a frame that does not begin with DLE is moved down
// so that the first DLE found stands at position 0.
void zetfasEvent(Frame& frame, const DecoderState& st, DecoderOutput& out) {
    if (!markerNear(frame, Dle)) return;
    if (!alignToMarker(frame, st.frameLength, Dle, 0, 0)) {
        writeStateEvent(out, Protocol::Zetfas, st, EvaluationProblem);
        return;
    }
    EventColumns(out, Protocol::Zetfas, st)
        .numbersAB(frame[8], frame[9])
        .state(kindStateText(frame[6], frame[10]))
        .finish();
}

class ZetfasDecoder final : public Decoder {
public:
    void decode(DecoderState& st, DecoderOutput& out) override {
        // The first byte gives the length: 16 for our own DLE frames.  A frame
        // taken over from another decoder whose first byte never matches is
        // closed when the buffer is full.
        const auto closes = [](const std::uint8_t* buffer, std::int32_t length) {
            return (length >= 6 && length == buffer[0]) || length >= FrameBufferSize;
        };
        decodeFrames(
            st, out, [](std::uint8_t x) { return x == Dle; }, closes, FrameOptions{},
            [&](std::uint8_t b) { renderZetfas(&b, 1, out.textLine, out.hexLine); },
            [&](Frame& frame) {
                renderZetfas(frame.data(), st.frameLength, out.textLine, out.hexLine);
                zetfasEvent(frame, st, out);
            });
    }
};

}  // namespace

std::unique_ptr<Decoder> makeZetfasDecoder() { return std::make_unique<ZetfasDecoder>(); }

}  // namespace zindra::decoders
