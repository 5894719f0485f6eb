// SIGMA: telegrams that start with STX and carry their length in the second
// byte, with BCD numbers at fixed positions and printable text from position
// 51 on.  Long renderings spill into the header lines.
#include <charconv>

#include "decoders/framing.h"
#include "decoders/decoder.h"
#include "decoders/registry.h"
#include "decoders/telegram_render.h"
#include "decoders/ugm_family.h"

namespace zindra::decoders {
namespace {

// Control characters are named only among the first two and last two bytes.
bool namedAtEnds(int i, int n) { return i < 2 || i >= n - 2; }

RenderStyle sigmaStyle(bool strip) {
    RenderStyle style;
    style.nameControls().nameAckNak()
        .chars(0x1A, 0x7F);
    style.nameAt = namedAtEnds;
    // A stray byte with bit 7 set stands for the byte without it.
    if (strip) style.remapRange(0x80, 0xFF, 0x00);
    return style;
}

constexpr int SigmaCharsFrom = 51;

void renderSigma(bool strip, const std::uint8_t* bytes, int n, DecoderOutput& out) {
    static const RenderStyle telegram = sigmaStyle(false);
    static const RenderStyle stray = sigmaStyle(true);
    renderWithHeaders(bytes, n, strip ? stray : telegram, SigmaCharsFrom, out);
}

// The digits of a BCD byte's nibbles joined onto value; nibbles above 9 are
// filler and give no digit.
std::uint64_t appendBcdDigits(std::uint64_t value, std::uint8_t b) {
    const unsigned high = b >> 4;
    const unsigned low = b & 0x0Fu;
    if (high <= 9) value = value * 10 + high;
    if (low <= 9) value = value * 10 + low;
    return value;
}

// value in decimal, padded on the left with "0" to zeroWidth characters and
// then with " " to width characters.
void appendPaddedWide(std::string& out, std::uint64_t value, std::size_t zeroWidth, std::size_t width) {
    char digits[24];
    const auto res = std::to_chars(digits, digits + sizeof digits, value);
    const auto len = static_cast<std::size_t>(res.ptr - digits);
    const std::size_t zeros = len < zeroWidth ? zeroWidth - len : 0;
    if (len + zeros < width) out.append(width - len - zeros, ' ');
    out.append(zeros, '0');
    out.append(digits, len);
}

const char* stateWord(const Frame& f) {
    if (f[9] == 0x11) {
        switch (f[10]) {
            case 0x00: return "Ruhe";
            case 0x01: return "Alarm";
            case 0x08: return "St\xF6rung";
            default: return nullptr;
        }
    }
    if (f[9] == 0x13) {
        switch (f[10]) {
            case 0x01: return "Abschaltung";
            case 0x04: return "Einschaltung";
            default: return nullptr;
        }
    }
    return nullptr;
}

void eventSigma(Frame f, int length, std::string& event) {
    event.clear();
    if (!stxNearStart(f)) return;
    if (!moveStxToFront(f, length)) {
        event.append(EvaluationProblem);
        return;
    }
    const char* word = stateWord(f);
    if (word == nullptr) return;
    // Up to ten digits: held in 64 bits so that every value shows as it is.
    std::uint64_t a = 0;
    for (std::size_t pos = 30; pos <= 34; ++pos) a = appendBcdDigits(a, f[pos]);
    const std::uint64_t b = appendBcdDigits(0, f[35]);
    appendPaddedWide(event, a, 3, 6);
    event.append("    ");
    appendPaddedWide(event, b, 2, 5);
    event.append("    ");
    event.append(word);
}

class SigmaDecoder final : public Decoder {
public:
    void decode(DecoderState& st, DecoderOutput& out) override {
        out.clear();
        st.moreData = true;
        std::uint8_t b = 0;
        Frame frame;
        switch (nextFrame(st, isStx, [](const DecoderState& s) {
            // L + 2 bytes in all; a length byte of 255 announces 257 bytes,
            // more than the buffer holds, so a full buffer closes the frame too.
            return s.frameLength >= s.frameBuffer[1] + 2 || s.frameLength >= FrameBufferSize;
        }, b, frame)) {
            case FrameStep::Stray:
                renderSigma(true, &b, 1, out);
                return;
            case FrameStep::Closed:
                renderSigma(false, frame.data(), st.frameLength, out);
                eventSigma(frame, st.frameLength, out.eventLine);
                return;
            case FrameStep::Empty: return;
        }
    }
};

}  // namespace

std::unique_ptr<Decoder> makeSigmaDecoder() { return std::make_unique<SigmaDecoder>(); }

}  // namespace zindra::decoders
