// Any byte stream through the ring, identification and every decoder, with
// decoder changes mid-stream.  Checks the decoder contract after every call,
// and that an event record agrees with its event line.
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
#include <vector>

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
    if (st.readIndex < 0 || st.readIndex > 1024 || st.writeIndex < 0 || st.writeIndex > 1024)
        fail("ring index");
    const bool any = !out.textLine.empty() || !out.hexLine.empty() || !out.textHeader.empty() ||
                     !out.hexHeader.empty() || !out.eventLine.empty();
    if (any && out.hexLine.empty() && out.hexHeader.empty()) fail("output without HexLine or HexHeader");
    if (!st.moreData && !st.ringEmpty()) fail("MoreData false with bytes in the ring");
    // A header is cut once it reaches 240 characters; one byte adds at most 7.
    if (out.textHeader.size() > 247 || out.hexHeader.size() > 247)
        fail("header longer than the split allows");
}

// A number as its column shows it, "0"-filled to zeroWidth characters.
std::string column(std::int64_t value, std::size_t zeroWidth) {
    std::string digits = std::to_string(value);
    return std::string(zeroWidth > digits.size() ? zeroWidth - digits.size() : 0, '0') + digits;
}

// Every call with an event line has a record of the session's protocol whose
// line is that line and whose numbers, code and texts are the ones it shows.
void checkRecord(decoders::Protocol protocol, const decoders::DecoderOutput& out) {
    if (!out.eventLine.empty() && !out.hasRecord) fail("event line without a record");
    if (!out.hasRecord) return;
    const decoders::EventRecord& r = out.record;
    if (r.protocol != protocol) fail("record of another protocol");
    if (r.line != out.eventLine) fail("record line differs from the event line");
    if (r.raw.empty()) fail("record without raw bytes");
    if (!r.stateText.empty() && r.line.find(r.stateText) == std::string::npos)
        fail("state text not in the line");
    if (!r.printerText.empty() && !r.line.empty()) fail("printer text beside an event line");
    std::vector<std::string> cols;
    for (std::size_t p = r.line.find_first_not_of(' '); p != std::string::npos;
         p = r.line.find_first_not_of(' ', p)) {
        const std::size_t end = r.line.find(' ', p);
        cols.push_back(r.line.substr(p, end - p));
        p = end;
    }
    const auto at = [&](std::size_t i) { return i < cols.size() ? cols[i] : std::string("(none)"); };
    // FILNET: lead, A, "/", B, kind "H", qualifier "H"; the others: A, B and,
    // for the UGM family, code C in decimal and in hex.
    const bool lead = r.leadNumber.has_value();
    if (lead && at(0) != column(*r.leadNumber, 2)) fail("lead number differs from the line");
    if (r.numberA && at(lead ? 1 : 0) != column(*r.numberA, 3)) fail("number A differs from the line");
    if (r.numberB && at(lead ? 3 : 1) != column(*r.numberB, 2)) fail("number B differs from the line");
    if (lead && (at(4) != r.stateHex + "H" || !r.qualifier)) fail("FILNET state bytes differ from the line");
    const bool codeColumns = !lead && r.stateCode && r.stateHex.size() == 2;
    if (codeColumns && (at(2) != column(*r.stateCode, 2) || at(3) != r.stateHex))
        fail("code C differs from the line");
    if (!r.stateHex.empty() && !lead && !codeColumns &&
        r.line.compare(r.line.size() - std::min(r.line.size(), r.stateHex.size()), std::string::npos,
                       r.stateHex) != 0) {
        fail("code as received is not at the end of the line");
    }
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
            checkRecord(session.protocol(), out);
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
