// EBL: telegrams open with a byte that has bit 7 set and carry their body
// length in the second byte; the body is text with the keywords "CR" (status
// report), "CC" (central reset) and "CWF"/"CWR" (alarm / back to rest).
#include <string_view>

#include "decoders/registry.h"
#include "decoders/ugm_family.h"

namespace zindra::decoders {
namespace {

constexpr int EblMaxLength = 41;

// No remapping and no names: 0x20..0x7A as characters, everything else in
// hex.  0xA0 is marked with "."; from byte number 5 on its hex gets two more
// spaces.  The text starts with two spaces unless its first byte is 0xA0.
// Both lines are built in local buffers and handed over in one piece.
void renderEbl(const std::uint8_t* bytes, int n, std::string& text, std::string& hex) {
    static constexpr char digits[] = "0123456789ABCDEF";
    char t[FrameBufferSize * 5 + 2];  // at most ". A0 " per byte, "  " once
    char h[FrameBufferSize * 5];      // at most "  .A0" per byte
    std::size_t tn = 0;
    std::size_t hn = 0;
    for (int i = 0; i < n && i < FrameBufferSize; ++i) {
        const std::uint8_t b = bytes[i];
        if (b == 0xA0) {
            if (i > 4) {
                h[hn++] = ' ';
                h[hn++] = ' ';
            }
            t[tn++] = '.';
            h[hn++] = '.';
        } else {
            h[hn++] = ' ';
        }
        if (tn == 0) {
            t[tn++] = ' ';
            t[tn++] = ' ';
        }
        h[hn++] = digits[b >> 4];
        h[hn++] = digits[b & 0x0F];
        if (b >= 0x20 && b <= 0x7A) {
            t[tn++] = static_cast<char>(b);
        } else {
            if (t[tn - 1] != ' ') t[tn++] = ' ';
            t[tn++] = digits[b >> 4];
            t[tn++] = digits[b & 0x0F];
            t[tn++] = ' ';
        }
    }
    text.assign(t, tn);
    hex.assign(h, hn);
}

bool contains(std::string_view body, std::string_view word) { return body.find(word) != std::string_view::npos; }

void eblEventLine(const Frame& frame, FaultMemory& flags, std::string& eventLine) {
    eventLine.clear();
    if (frame[0] != 0xA1 && frame[0] != 0xC1) return;
    // The length character counts the body; the body is read at its fixed
    // place even where the telegram was cut short.
    const int n = frame[1] - 0x30;
    const std::string_view body =
        n > 0 ? std::string_view(reinterpret_cast<const char*>(frame.data()) + 2, static_cast<std::size_t>(n))
              : std::string_view();
    if (contains(body, "CR")) {
        flags.fault = (frame[4] & 2) != 0;
        flags.disablement = (frame[4] & 4) != 0;
        flags.reportChanges(eventLine);
    } else if (contains(body, "CC")) {
        eventLine.append(" Zentralenreset ");
    } else if (contains(body, "CWF") || contains(body, "CWR")) {
        const std::int32_t a = (frame[5] - 0x30) * 100 + (frame[6] - 0x30) * 10 + (frame[7] - 0x30);
        const std::int32_t b =
            frame[8] == 'A' && frame[9] == 'A' ? 0 : ((frame[8] - 0x30) * 10 + (frame[9] - 0x30)) & 0xFF;
        appendPadded(eventLine, a, 3, 6);
        eventLine.append("    ");
        appendPadded(eventLine, b, 2, 5);
        eventLine.append("    ");
        eventLine.append(contains(body, "CWF") ? "  Alarm" : "  Ruhe");
    }
}

class EblDecoder final : public Decoder {
public:
    void decode(DecoderState& st, DecoderOutput& out) override {
        out.clear();
        st.moreData = true;
        while (!(st.inFrame && frameFull(st))) {
            if (st.ringEmpty()) {
                st.moreData = false;
                return;
            }
            const std::uint8_t b = st.takeByte();
            if ((b & 0x80) != 0) {
                // Always a new telegram; an unfinished one is dropped unseen.
                st.inFrame = true;
                st.frameBuffer[0] = b;
                st.frameLength = 1;
                continue;
            }
            if (!st.inFrame) {
                st.frameBuffer[0] = b;
                renderEbl(&b, 1, out.textLine, out.hexLine);
                return;
            }
            st.storeByte(b);
            // Tested after every byte, the length character included.
            if (st.frameLength == st.frameBuffer[1] - 0x30 + 3 || st.frameLength >= EblMaxLength) break;
        }
        st.inFrame = false;
        const Frame frame = st.frameBuffer;
        renderEbl(frame.data(), st.frameLength, out.textLine, out.hexLine);
        eblEventLine(frame, flags_, out.eventLine);
    }

private:
    FaultMemory flags_;  // kept for the whole run, across traces
};

}  // namespace

std::unique_ptr<Decoder> makeEblDecoder() { return std::make_unique<EblDecoder>(); }

}  // namespace zindra::decoders
