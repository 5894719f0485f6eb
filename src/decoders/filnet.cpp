// FILNET: raw telegrams introduced by 0x8A and counting their own length in
// their first byte.  The introducer is shown as a byte of its own; telegrams
// and stray bytes appear in hex only, and each telegram gives one event line
// with three numbers, the two state bytes and a state text.
#include "decoders/decoder.h"
#include "decoders/registry.h"
#include "decoders/ugm_family.h"

namespace zindra::decoders {
namespace {

constexpr std::uint8_t Introducer = 0x8A;

// A byte outside a telegram: bit 7 is shown as a "." mark before the low
// seven bits.
void renderByte(std::uint8_t b, std::string& text, std::string& hex) {
    text.clear();
    hex.clear();
    hex.push_back(' ');
    if (b & 0x80) {
        hex.push_back('.');
        b = static_cast<std::uint8_t>(b - 0x80);
    }
    appendHex(hex, b);
}

// A telegram: each byte as it is, followed by a space.
void renderTelegram(const Frame& frame, int length, std::string& text, std::string& hex) {
    text.clear();
    hex.clear();
    for (int i = 0; i < length; ++i) {
        appendHex(hex, frame[static_cast<std::size_t>(i)]);
        hex.push_back(' ');
    }
}

const char* stateText(std::uint8_t kind, std::uint8_t qualifier) {
    switch (kind) {
    case 0x80: case 0x81: case 0x82: case 0x86: case 0x87:
        return qualifier == 0x01 ? "Alarm" : qualifier == 0xFF ? "Ruhe" : "";
    case 0x90: case 0x91: case 0x92: case 0x93: case 0x94: case 0x95: case 0x96: case 0x97:
        return qualifier == 0x01 ? "St\xF6rung" : qualifier == 0xFF ? "St\xF6r Ruhe" : "";
    case 0xB2: case 0xB4:
        return qualifier == 0x02 ? "Linie ein" : qualifier == 0xFE ? "Linie aus" : "";
    default:
        return "";
    }
}

// Fields at fixed positions, whatever the telegram's length.
void filnetEvent(const Frame& frame, std::string& line) {
    line.clear();
    appendPadded(line, frame[7], 2, 0);
    line.append("  ");
    appendPadded(line, frame[8], 3, 6);
    line.append("    /");
    appendPadded(line, frame[9], 2, 5);
    line.append("    ");
    appendHex(line, frame[6]);
    line.append("H    ");
    appendHex(line, frame[10]);
    line.append("H    ");
    line.append(stateText(frame[6], frame[10]));
}

class FilnetDecoder final : public Decoder {
public:
    void decode(DecoderState& st, DecoderOutput& out) override {
        out.clear();
        st.moreData = true;
        while (!st.ringEmpty()) {
            const std::uint8_t b = st.takeByte();
            if (st.inFrame) {
                st.storeByte(b);
                // The length byte is at most 255, so this closes the frame
                // before it can outgrow the buffer.
                if (st.frameLength < st.frameBuffer[0]) continue;
                st.inFrame = false;
                const Frame frame = st.frameBuffer;
                renderTelegram(frame, st.frameLength, out.textLine, out.hexLine);
                filnetEvent(frame, out.eventLine);
                return;
            }
            // The introducer opens a telegram but is not part of it: the
            // length byte that follows is stored at position 0.
            if (b == Introducer) {
                st.inFrame = true;
                st.frameLength = 0;
            }
            st.frameBuffer[0] = b;
            renderByte(b, out.textLine, out.hexLine);
            return;
        }
        st.moreData = false;
    }
};

}  // namespace

std::unique_ptr<Decoder> makeFilnetDecoder() { return std::make_unique<FilnetDecoder>(); }

}  // namespace zindra::decoders
