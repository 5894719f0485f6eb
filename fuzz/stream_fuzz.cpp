// Any byte stream through the ring, identification and every decoder, with
// decoder changes mid-stream.  Checks the decoder contract after every call.
//
// Input: byte 0 chooses the start: 0..21 a reply-table row (identified by
// name), anything else awaits the reply line in the stream as a replay does.
// Then repeatedly one control byte c: 0xFF followed by a row byte runs Stopp
// and identifies that row (the frame state carries over into the next
// decoder); any other c feeds the next (c % 80) + 1 bytes as one chunk.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "trace/identify.h"
#include "trace/session.h"

namespace {

using namespace zindra;

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "contract broken: %s\n", what);
    std::abort();
}

void check(const decoders::DecoderState& st, const decoders::DecoderOutput& out) {
    // An open frame has room for its next byte; a closed one may have filled
    // all 256 bytes (length-counted telegrams of 256 bytes).
    if (st.frameLength < 0 || st.frameLength > 256 || (st.inFrame && st.frameLength >= 256)) {
        fail("FrameLength out of range");
    }
    if (st.readIndex < 0 || st.readIndex > 1024 || st.writeIndex < 0 || st.writeIndex > 1024) fail("ring index");
    const bool any = !out.textLine.empty() || !out.hexLine.empty() || !out.textHeader.empty() ||
                     !out.hexHeader.empty() || !out.eventLine.empty();
    if (any && out.hexLine.empty() && out.hexHeader.empty()) fail("output without HexLine or HexHeader");
    if (!st.moreData && !st.ringEmpty()) fail("MoreData false with bytes in the ring");
    // A header is cut once it reaches 240 characters; one byte adds at most 7.
    if (out.textHeader.size() > 247 || out.hexHeader.size() > 247) fail("header longer than the split allows");
}

void identify(trace::TraceSession& session, std::uint8_t row) {
    session.stopp();
    session.startReplay();
    if (row < trace::PanelTypeCount) {
        session.identifyReply(std::string(trace::panelTypes()[row].reply));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    trace::MemoryPane text, hex, event;
    trace::Panes panes{text, hex, event};
    trace::NullUi ui;
    trace::TraceSession session(panes, ui);
    session.clear();
    identify(session, data[0]);

    // The most lines the hex pane may hold: 502 after an update, one more
    // for each identification line added since.
    std::size_t hexBound = 502;
    std::size_t pos = 1;
    while (pos < size) {
        const std::uint8_t c = data[pos++];
        if (c == 0xFF && pos < size) {
            identify(session, data[pos++]);
            continue;
        }
        const std::size_t n = std::min<std::size_t>((c % 80) + 1, size - pos);
        if (n == 0) break;
        const std::uint8_t* chunk = data + pos;
        pos += n;
        session.appendToRing(chunk, n);
        if (session.awaitingIdent()) {
            // The chunk that completes the reply line goes to the hex pane
            // as one line, without any cut.
            const std::size_t before = hex.lineCount();
            session.dispatchReceived(chunk, n);
            const std::size_t added = session.awaitingIdent() ? 0 : 1;
            if (hex.lineCount() != before + added) fail("identification line");
            hexBound += added;
            continue;
        }
        // The dispatcher's loop, with the contract checked after each call.
        decoders::DecoderOutput out;
        do {
            session.decoder().decode(session.state(), out);
            check(session.state(), out);
            trace::routeOutput(out, panes, session.flags(), trace::RoutingLimits{});
            // Each update cuts back to 500 lines first, then adds at most a
            // header and a line.
            if (!out.hexLine.empty() || !out.hexHeader.empty()) hexBound = 502;
            if (text.lineCount() > 502 || hex.lineCount() > hexBound || event.lineCount() > 101) {
                fail("pane limits");
            }
        } while (session.state().moreData);
    }
    if (text.lineCount() > 502 || hex.lineCount() > hexBound || event.lineCount() > 101) fail("pane limits");
    return 0;
}
