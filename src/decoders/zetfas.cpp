// ZETFAS: raw telegrams that start with DLE and carry their length (16) in
// that first byte.  Telegrams and stray bytes are shown in hex only; each
// telegram gives one event line with two numbers and a state text.
#include <algorithm>
#include <cstring>

#include "decoders/framing.h"
#include "decoders/decoder.h"
#include "decoders/registry.h"
#include "decoders/ugm_family.h"

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

const char* stateText(std::uint8_t kind, std::uint8_t qualifier) {
    switch (kind) {
    case 0x80:
        return qualifier == 0x01 ? "Alarm" : qualifier == 0xFF ? "Ruhe" : "";
    case 0x90:
        return qualifier == 0x01 ? "St\xF6rung" : qualifier == 0xFF ? "St\xF6r Ruhe" : "";
    case 0xB2:
        return qualifier == 0x02 ? "Linie ein" : qualifier == 0xFE ? "Linie aus" : "";
    default:
        return "";
    }
}

// Works on its own copy: a frame that does not begin with DLE is moved down
// so that the first DLE found stands at position 0.
void zetfasEvent(Frame frame, int length, std::string& line) {
    line.clear();
    if (std::find(frame.begin(), frame.begin() + 21, Dle) == frame.begin() + 21) return;
    if (frame[0] != Dle) {
        int k = 1;
        while (k <= length - 15 && frame[static_cast<std::size_t>(k)] != Dle) ++k;
        if (k > length - 15) {
            line = EvaluationProblem;
            return;
        }
        // Positions k .. length move to 0 .. length - k; a full buffer has no
        // position 256 to take along.
        const int last = std::min(length, FrameBufferSize - 1);
        std::memmove(frame.data(), frame.data() + k, static_cast<std::size_t>(last - k + 1));
    }
    appendPadded(line, frame[8], 3, 6);
    line.append("    ");
    appendPadded(line, frame[9], 2, 5);
    line.append("    ");
    line.append(stateText(frame[6], frame[10]));
}

class ZetfasDecoder final : public Decoder {
public:
    void decode(DecoderState& st, DecoderOutput& out) override {
        out.clear();
        st.moreData = true;
        std::uint8_t b = 0;
        Frame frame;
        switch (nextFrame(st, [](std::uint8_t x) { return x == Dle; }, [](const DecoderState& s) {
            // The first byte gives the length: 16 for our own DLE frames.  A
            // frame taken over from another decoder whose first byte never
            // matches is closed when the buffer is full.
            return (s.frameLength >= 6 && s.frameLength == s.frameBuffer[0]) || s.frameLength >= FrameBufferSize;
        }, b, frame)) {
            case FrameStep::Stray:
                renderZetfas(&b, 1, out.textLine, out.hexLine);
                return;
            case FrameStep::Closed:
                renderZetfas(frame.data(), st.frameLength, out.textLine, out.hexLine);
                zetfasEvent(frame, st.frameLength, out.eventLine);
                return;
            case FrameStep::Empty: return;
        }
    }
};

}  // namespace

std::unique_ptr<Decoder> makeZetfasDecoder() { return std::make_unique<ZetfasDecoder>(); }

}  // namespace zindra::decoders
