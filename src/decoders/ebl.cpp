// EBL: telegrams open with a byte that has bit 7 set and carry their body
// length in the second byte; the body is text with the keywords "CR" (status
// report), "CC" (central reset) and "CWF"/"CWR" (alarm / back to rest).
#include <string_view>

#include "decoders/event_format.h"
#include "decoders/framing.h"
#include "decoders/registry.h"

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

bool contains(std::string_view body, std::string_view word) {
    return body.find(word) != std::string_view::npos;
}

void eblEvent(const Frame& frame, const DecoderState& st, FaultMemory& flags, DecoderOutput& out) {
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
        flags.reportChanges(out, Protocol::Ebl, st);
    } else if (contains(body, "CC")) {
        writeStateEvent(out, Protocol::Ebl, st, " Zentralenreset ");
    } else if (contains(body, "CWF") || contains(body, "CWR")) {
        const std::int32_t a = (frame[5] - 0x30) * 100 + (frame[6] - 0x30) * 10 + (frame[7] - 0x30);
        const std::int32_t b =
            frame[8] == 'A' && frame[9] == 'A' ? 0 : ((frame[8] - 0x30) * 10 + (frame[9] - 0x30)) & 0xFF;
        EventColumns(out, Protocol::Ebl, st)
            .numbersAB(a, b)
            .state(contains(body, "CWF") ? "  Alarm" : "  Ruhe")
            .finish();
    }
}

class EblDecoder final : public Decoder {
public:
    void decode(DecoderState& st, DecoderOutput& out) override {
        // A byte with bit 7 set always opens a new telegram; an unfinished
        // one is dropped unseen.
        const auto opens = [](std::uint8_t b) { return (b & 0x80) != 0; };
        // Tested after every byte, the length character included.
        const auto closes = [](const std::uint8_t* buffer, std::int32_t length) {
            return length == buffer[1] - 0x30 + 3 || length >= EblMaxLength;
        };
        FrameOptions options;
        options.fullAt = FrameBufferSize - 1;
        options.opensInside = true;
        decodeFrames(
            st, out, opens, closes, options,
            [&](std::uint8_t b) { renderEbl(&b, 1, out.textLine, out.hexLine); },
            [&](Frame& frame) {
                renderEbl(frame.data(), st.frameLength, out.textLine, out.hexLine);
                eblEvent(frame, st, flags_, out);
            });
    }

private:
    FaultMemory flags_;  // kept for the whole run, across traces
};

}  // namespace

std::unique_ptr<Decoder> makeEblDecoder() { return std::make_unique<EblDecoder>(); }

}  // namespace zindra::decoders
