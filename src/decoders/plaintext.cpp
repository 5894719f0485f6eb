// Plain-text printer lines (ALGOREX, IGIS printer): each call hands on the
// bytes up to and including the next LF, or whatever has arrived when the ring
// runs dry.  No frames: InFrame and FrameLength are left alone.
#include <algorithm>
#include <vector>

#include "decoders/decoder.h"
#include "decoders/event_format.h"
#include "decoders/registry.h"

namespace zindra::decoders {
namespace {

constexpr std::uint8_t LineFeed = 0x0A;

// One byte: the text gets bytes below 0x80 as they are (control characters
// included) and higher ones as hex; the hex gets every byte.
void renderPlainText(std::uint8_t b, DecoderOutput& out) {
    out.hexLine.push_back(' ');
    appendHex(out.hexLine, b);
    if (b < 0x80) {
        out.textLine.push_back(static_cast<char>(b));
    } else {
        appendHex(out.textLine, b);
        out.textLine.push_back(' ');
    }
}

class PlainTextDecoder final : public Decoder {
public:
    void decode(DecoderState& st, DecoderOutput& out) override {
        out.clear();
        st.moreData = true;
        // The bytes of this call, gathered for the line's record.
        std::uint8_t taken[RingSize];
        int n = 0;
        const bool keepBytes = out.recordWanted;
        while (!st.ringEmpty()) {
            const std::uint8_t b = st.takeByte();
            st.frameBuffer[0] = b;
            renderPlainText(b, out);
            if (keepBytes && n < RingSize) taken[n++] = b;
            if (b == LineFeed) {
                keep(out, taken, n);
                // A line whose start went by unrecorded gives no record.
                if (whole_)
                    recordPrinterLine(out, Protocol::PlainText, line_.data(), static_cast<int>(line_.size()),
                                      0);
                line_.clear();
                whole_ = true;
                return;
            }
        }
        // The part of a line read so far goes out now; the rest follows as a
        // piece of its own.  The record waits for the whole line.
        keep(out, taken, n);
        st.moreData = false;
    }

    void dropPartial() override {
        line_.clear();
        whole_ = true;
    }

private:
    // A line's record holds at most MaxRecordedLine bytes; the panes show
    // the whole line whatever its length.
    static constexpr std::size_t MaxRecordedLine = 4096;

    void keep(const DecoderOutput& out, const std::uint8_t* bytes, int n) {
        if (!out.recordWanted) {
            whole_ = false;
            return;
        }
        const std::size_t room = MaxRecordedLine - line_.size();
        line_.insert(line_.end(), bytes, bytes + std::min(room, static_cast<std::size_t>(n)));
    }

    std::vector<std::uint8_t> line_;  // the line so far, across calls
    bool whole_ = true;               // line_ holds the line from its start
};

}  // namespace

std::unique_ptr<Decoder> makePlainTextDecoder() { return std::make_unique<PlainTextDecoder>(); }

}  // namespace zindra::decoders
