// SIGMA: telegrams that start with STX and carry their length in the second
// byte, with BCD numbers at fixed positions and printable text from position
// 51 on.  Long renderings spill into the header lines.
#include "decoders/decoder.h"
#include "decoders/event_format.h"
#include "decoders/framing.h"
#include "decoders/header_render.h"
#include "decoders/registry.h"
#include "decoders/stx_frame.h"

namespace zindra::decoders {
namespace {

// Control characters are named only among the first two and last two bytes.
bool namedAtEnds(int i, int n) { return i < 2 || i >= n - 2; }

RenderStyle sigmaStyle(bool strip) {
    RenderStyle style;
    style.nameControls().nameAckNak().chars(0x1A, 0x7F);
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

// Keyed by the type byte (9) and the state byte (10).
constexpr CodeText SigmaStates[] = {
    {0x1100, "Ruhe"},        {0x1101, "Alarm"},        {0x1108, "St\xF6rung"},
    {0x1301, "Abschaltung"}, {0x1304, "Einschaltung"},
};

void sigmaEvent(Frame& f, const DecoderState& st, DecoderOutput& out) {
    if (!markerNear(f, FrameStartByte)) return;
    if (!alignStx(f, st.frameLength)) {
        writeStateEvent(out, Protocol::Sigma, st, EvaluationProblem);
        return;
    }
    const char* word = lookupText(SigmaStates, codePair(f[9], f[10]));
    if (word == nullptr) return;
    // Up to ten digits: held in 64 bits so that every value shows as it is.
    std::uint64_t a = 0;
    for (std::size_t pos = 30; pos <= 34; ++pos) a = appendBcdDigits(a, f[pos]);
    const std::uint64_t b = appendBcdDigits(0, f[35]);
    EventColumns(out, Protocol::Sigma, st)
        .numbersAB(static_cast<std::int64_t>(a), static_cast<std::int64_t>(b))
        .state(word)
        .finish();
}

class SigmaDecoder final : public Decoder {
public:
    void decode(DecoderState& st, DecoderOutput& out) override {
        // L + 2 bytes in all; a length byte of 255 announces 257 bytes, more
        // than the buffer holds, so a full buffer closes the frame too.
        const auto closes = [](const std::uint8_t* buffer, std::int32_t length) {
            return length >= buffer[1] + 2 || length >= FrameBufferSize;
        };
        decodeFrames(
            st, out, isStx, closes, FrameOptions{}, [&](std::uint8_t b) { renderSigma(true, &b, 1, out); },
            [&](Frame& frame) {
                renderSigma(false, frame.data(), st.frameLength, out);
                sigmaEvent(frame, st, out);
            });
    }
};

}  // namespace

std::unique_ptr<Decoder> makeSigmaDecoder() { return std::make_unique<SigmaDecoder>(); }

}  // namespace zindra::decoders
