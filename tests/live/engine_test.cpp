#include "live/engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "trace/identify.h"
#include "trace/recording_ui.h"

namespace zindra::live {
namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

// A port in memory: what the device sent waits in `input`, what was written
// collects in `output`.  A device that answers puts its reply line into the
// input when it is sent "\nTRACEON"; a pulled cable makes the port fail to
// open until it is plugged in again.
class FakePort : public Port {
public:
    std::string device = "COM1";
    bool present = true;
    bool opens = true;
    bool isOpen = false;
    std::string reply;  // sent back for "\nTRACEON"; none when empty
    std::string input;
    std::string output;
    std::vector<std::string> calls;

    std::string deviceName() const override { return device; }
    void open() override {
        calls.push_back("open");
        if (!present) throw std::runtime_error("Specified device not found (" + device + ").");
        isOpen = opens;
    }
    bool active() const override { return isOpen; }
    void close() override {
        calls.push_back("close");
        isOpen = false;
    }
    std::size_t read(std::uint8_t* buf, std::size_t max) override {
        // As the serial component does on a device that has gone.
        if (!present) throw std::runtime_error("Input/output error");
        if (!isOpen) return 0;
        const std::size_t n = std::min(max, input.size());
        input.copy(reinterpret_cast<char*>(buf), n);
        input.erase(0, n);
        return n;
    }
    std::size_t write(const std::uint8_t* buf, std::size_t n) override {
        if (!isOpen) return 0;
        const std::string s(reinterpret_cast<const char*>(buf), n);
        output += s;
        if (s == "\nTRACEON") input += reply;
        return n;
    }
    void pull() {
        present = false;
        isOpen = false;
        input.clear();
    }
};

class FakeClock : public Clock {
public:
    TimePoint now() const override { return steady; }
    std::int64_t utcMicros() const override { return utc; }
    void advance(std::chrono::milliseconds d) {
        steady += d;
        utc += std::chrono::duration_cast<std::chrono::microseconds>(d).count();
    }
    TimePoint steady{};
    std::int64_t utc = 1796767200000000;  // 2026-12-08 22:00 UTC
};

struct Reports : Observer {
    std::vector<std::string> said;
    std::vector<EndCause> ends;
    void answerAwaited(std::chrono::milliseconds within) override {
        said.push_back("answer " + std::to_string(within.count()));
    }
    void recordingFailed(const std::string&) override { said.push_back("recording failed"); }
    void deviceLost(std::int64_t, bool noAnswer) override { said.push_back(noAnswer ? "no answer" : "lost"); }
    void deviceBack(const recording::Gap&) override { said.push_back("back"); }
    void captureFull(std::size_t kept) override { said.push_back("capture full " + std::to_string(kept)); }
    void ended(const EndCause& cause) override { ends.push_back(cause); }
};

// "UGM" alarms, one for each detector from 100 on: STX "00" detector "41"
// "0000" "07" ETX check.
std::string ugmTelegram(int detector) {
    return "\x02"
           "00" +
           std::to_string(detector) +
           "41"
           "0000"
           "07"
           "\x03"
           "Z";
}

// Plain-text printer lines of "IGISPRN".
std::string printerLine(int n) {
    return "12.03.24 10:15 FEUER Linie 007 Melder " + std::to_string(n) + "\r\n";
}

struct Stream {
    std::string reply;
    std::string bytes;
    std::vector<std::size_t> starts;  // where each telegram or line begins
};

Stream makeStream(const std::string& reply, std::string (*unit)(int), int count) {
    Stream s{reply + "\r\n", {}, {}};
    for (int i = 0; i < count; ++i) {
        s.starts.push_back(s.bytes.size());
        s.bytes += unit(100 + i);
    }
    return s;
}

struct Rig {
    trace::MemoryPane text, hex, event;
    trace::Panes panes{text, hex, event};
    trace::RecordingUi ui;
    trace::TraceSession session{panes, ui};
    FakePort port;
    FakeClock clock;
    Reports reports;
    Engine engine{session, port, reports, clock};

    // The device sends bytes in pieces of `piece`, each read as it comes.
    void deliver(const std::string& bytes, std::size_t piece = 7) {
        for (std::size_t at = 0; at < bytes.size(); at += piece) {
            port.input += bytes.substr(at, piece);
            engine.onBytesReady();
            clock.advance(1ms);
        }
    }
    void answer() { engine.onBytesReady(); }
    // The device vanishes and is back after `away`.
    void pullFor(std::chrono::milliseconds away) {
        port.pull();
        engine.onHangup();
        clock.advance(away);
        port.present = true;
        engine.poll();
    }
};

struct Live : ::testing::Test, Rig {};

StartOptions watch() {
    StartOptions o;
    o.watch = true;
    return o;
}

// Every event record's line and bytes, in order.
struct Records : trace::EventListener {
    Lines seen;
    void onEvent(const decoders::EventRecord& r, trace::ChunkTime) override {
        seen.push_back(r.line + "|" + r.printerText + "|" + r.raw);
    }
};

// The event records of bytes replayed on their own, after the reply line.
Lines decodedAlone(const std::string& reply, const std::string& bytes) {
    trace::MemoryPane text, hex, event;
    trace::Panes panes{text, hex, event};
    trace::NullUi ui;
    trace::TraceSession session(panes, ui);
    Records records;
    session.eventListeners().add(records);
    session.startReplay();
    session.feedChunk(reinterpret_cast<const std::uint8_t*>(reply.data()), reply.size());
    for (std::size_t at = 0; at < bytes.size(); at += 80) {
        const std::string piece = bytes.substr(at, 80);
        session.feedChunk(reinterpret_cast<const std::uint8_t*>(piece.data()), piece.size());
    }
    session.dispatchRest();
    return records.seen;
}

Lines concat(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_F(Live, StartDropsWaitingBytesSendsTraceOnAndAwaitsTheReply) {
    // A FAT left mirroring fills the queue with far more than one chunk.
    port.input = std::string(1000, 'x');
    ASSERT_TRUE(engine.start());
    EXPECT_EQ(port.input, "");
    EXPECT_EQ(port.output, "\nTRACEON");
    EXPECT_TRUE(session.awaitingIdent());
    EXPECT_TRUE(ui.stoppEnabled);
    EXPECT_EQ(ui.panelCaption, " Empfangsbereit ");
    EXPECT_EQ(reports.said, Lines{"answer 4000"});
    EXPECT_TRUE(engine.live());
    EXPECT_FALSE(engine.watching());

    // The deadline passes without a reply: the box, then Stopp.
    clock.advance(3999ms);
    engine.poll();
    EXPECT_TRUE(engine.live());
    clock.advance(1ms);
    engine.poll();
    EXPECT_EQ(ui.errors, Lines{trace::NoAnswerText});
    EXPECT_FALSE(engine.live());
    EXPECT_EQ(port.output, "\nTRACEON\nTRACEOF");
    ASSERT_EQ(reports.ends.size(), 1u);
    EXPECT_EQ(reasonText(reports.ends[0]), "no answer from the FAT");
    // The window's own timer running out later changes nothing.
    engine.onAnswerTimeout();
    EXPECT_EQ(ui.errors.size(), 1u);
}

TEST_F(Live, APortThatDoesNotOpenChangesNothing) {
    port.device = "";
    port.present = false;
    EXPECT_THROW(engine.start(), std::runtime_error);
    EXPECT_EQ(ui.errors, Lines{trace::NoPortText});
    port.present = true;
    port.opens = false;
    EXPECT_FALSE(engine.start());
    EXPECT_EQ(port.calls, (Lines{"open", "open", "close"}));
    EXPECT_FALSE(session.running());
    EXPECT_FALSE(engine.live());
    EXPECT_TRUE(reports.said.empty());
    EXPECT_TRUE(reports.ends.empty());
}

TEST_F(Live, ReceiveReadsOnInChunksOfEightyAndStoppDrainsFirst) {
    ASSERT_TRUE(engine.start());
    port.input = "UNBEKANNT\r\n" + std::string(100, 'A');
    EXPECT_EQ(engine.onBytesReady(), 111u);
    EXPECT_FALSE(session.awaitingIdent());
    EXPECT_EQ(session.capture().count(), 111);
    EXPECT_EQ(ui.label5, "111");
    ASSERT_FALSE(hex.lines().empty());
    EXPECT_EQ(hex.lines()[0].rfind("UNBEKANNT\r\n" + std::string(69, 'A') + " ", 0), 0u);

    // A chunk's time is the clock's when it was read.
    struct Times : trace::EventListener {
        std::vector<trace::ChunkTime> times;
        void onEvent(const decoders::EventRecord&, trace::ChunkTime t) override { times.push_back(t); }
    } listener;
    session.eventListeners().add(listener);
    port.input = std::string(300, 'B');
    clock.advance(5ms);
    engine.stop();
    session.eventListeners().remove(listener);
    EXPECT_EQ(session.capture().count(), 411);
    EXPECT_EQ(port.input, "");
    EXPECT_EQ(port.output, "\nTRACEON\nTRACEOF");
    EXPECT_FALSE(port.isOpen);
    EXPECT_FALSE(session.running());
    ASSERT_EQ(reports.ends.size(), 1u);
    EXPECT_EQ(reasonText(reports.ends[0]), "Stopp");
    EXPECT_EQ(engine.outcomeAtEnd(), trace::IdentOutcome::Matched);
    for (const trace::ChunkTime& t : listener.times) EXPECT_EQ(t, clock.utc);
}

// A cable pulled at any byte inside a telegram or a printer line: after the
// reopen the half that came before is never joined with the reply line and
// what follows.  The events are exactly those of the two delivered pieces,
// each decoded on its own; for telegrams, every complete one is there.
TEST_F(Live, ACablePullInsideATelegramMakesUpNothingAndLosesNothing) {
    struct Case {
        const char* reply;
        std::string (*unit)(int);
    };
    for (const Case& c : {Case{"UGM", ugmTelegram}, Case{"IGISPRN", printerLine}}) {
        const Stream s = makeStream(c.reply, c.unit, 4);
        const Lines whole = decodedAlone(s.reply, s.bytes);
        const std::size_t from = s.starts[1], to = s.starts[2];
        for (std::size_t cut = from + 1; cut < to; ++cut) {
            SCOPED_TRACE(std::string(c.reply) + " cut at " + std::to_string(cut - from));
            Rig r;
            Records records;
            r.session.eventListeners().add(records);
            r.port.reply = s.reply;
            ASSERT_TRUE(r.engine.start(watch()));
            // The reply and the first piece in one read: what follows the
            // reply in its chunk waits in the ring when the cable goes.
            r.port.input += s.bytes.substr(0, cut);
            r.engine.onBytesReady();
            r.pullFor(ReopenInterval);
            r.engine.onBytesReady();  // the reply line again
            r.port.input = s.bytes.substr(cut);
            r.engine.onBytesReady();
            r.engine.stop();

            const Lines& shown = records.seen;
            EXPECT_EQ(shown, concat(decodedAlone(s.reply, s.bytes.substr(0, cut)),
                                    decodedAlone(s.reply, s.bytes.substr(cut))));
            if (c.unit == ugmTelegram) {
                Lines expected = whole;
                expected.erase(expected.begin() + 1);  // only the telegram that was cut
                EXPECT_EQ(shown, expected);
            }
            EXPECT_EQ(r.reports.said, (Lines{"answer 4000", "lost", "answer 4000", "back"}));
            EXPECT_TRUE(r.ui.errors.empty());
        }
    }
}

// Stopp inside a telegram, then Start: the new trace begins on an empty
// frame, so its first event is shown and nothing is made up.
TEST_F(Live, StoppInsideATelegramThenStartBeginsAfresh) {
    port.reply = "UGM\r\n";
    Records records;
    session.eventListeners().add(records);
    const Stream s = makeStream("UGM", ugmTelegram, 3);
    for (std::size_t cut = s.starts[1] + 1; cut < s.starts[2]; ++cut) {
        records.seen.clear();
        ASSERT_TRUE(engine.start());
        answer();
        deliver(s.bytes.substr(0, cut));
        engine.stop();
        ASSERT_TRUE(engine.start());
        answer();
        deliver(s.bytes);
        engine.stop();
        EXPECT_EQ(records.seen,
                  concat(decodedAlone(s.reply, s.bytes.substr(0, cut)), decodedAlone(s.reply, s.bytes)))
            << "cut at " << cut;
    }
}

// In a watch, a device back without an answer counts as gone again: a second
// gap, no box, and the trace goes on once it answers.
TEST_F(Live, ADeviceBackWithoutAnAnswerIsTriedAgain) {
    port.reply = "UGM\r\n";
    ASSERT_TRUE(engine.start(watch()));
    answer();
    deliver(ugmTelegram(100));
    port.reply.clear();
    pullFor(ReopenInterval);
    EXPECT_EQ(engine.reopenAttempts(), 1);
    EXPECT_FALSE(engine.disconnected());
    clock.advance(AnswerTimeout);
    engine.poll();
    EXPECT_TRUE(engine.disconnected());
    EXPECT_FALSE(port.isOpen);
    port.reply = "UGM\r\n";
    clock.advance(ReopenInterval - 1ms);
    engine.poll();
    EXPECT_TRUE(engine.disconnected());  // not before the interval
    clock.advance(1ms);
    engine.poll();
    answer();
    deliver(ugmTelegram(101));
    EXPECT_EQ(reports.said,
              (Lines{"answer 4000", "lost", "answer 4000", "back", "no answer", "answer 4000", "back"}));
    EXPECT_TRUE(ui.errors.empty());
    ASSERT_EQ(engine.gaps().size(), 2u);
    EXPECT_TRUE(engine.gaps()[1].to.has_value());
    EXPECT_EQ(event.lines().size(), 2u);
    EXPECT_TRUE(engine.live());
    // Stopp while the device is away again still ends the watch cleanly.
    port.pull();
    engine.onHangup();
    engine.stop({EndReason::Interrupted, SIGTERM});
    EXPECT_FALSE(engine.live());
    ASSERT_EQ(reports.ends.size(), 1u);
    EXPECT_EQ(reasonText(reports.ends[0]), "SIGTERM");
    EXPECT_TRUE(engine.gaps().back().to.has_value());
}

// Outside a watch a vanished device ends the trace; what it sent before is kept.
TEST_F(Live, AVanishedDeviceEndsAPlainTrace) {
    port.reply = "UGM\r\n";
    ASSERT_TRUE(engine.start());
    answer();
    port.input = ugmTelegram(100);
    port.isOpen = true;
    engine.onHangup();
    EXPECT_EQ(event.lines().size(), 1u);
    EXPECT_FALSE(engine.live());
    ASSERT_EQ(reports.ends.size(), 1u);
    EXPECT_EQ(reports.ends[0].reason, EndReason::DeviceGone);
    EXPECT_EQ(engine.outcomeAtEnd(), trace::IdentOutcome::Matched);
}

// A recording whose writing fails is said once; the trace goes on and keeps
// decoding.  A recording begun for a port that then does not open is removed.
TEST_F(Live, ARecordingThatFailsIsSaidOnceAndTheTraceGoesOn) {
    const std::filesystem::path parent = std::filesystem::path(::testing::TempDir()) / "zindra-live-engine";
    std::filesystem::remove_all(parent);
    std::filesystem::create_directories(parent);
    StartOptions options;
    options.record = recording::RecorderOptions{parent.string(), {}, "test"};
    options.record->segmentLimit = 200;

    port.present = false;
    EXPECT_THROW(engine.start(options), std::runtime_error);
    EXPECT_TRUE(std::filesystem::is_empty(parent));

    port.present = true;
    port.reply = "UGM\r\n";
    ASSERT_TRUE(engine.start(options));
    EXPECT_TRUE(engine.watching());
    answer();
    const std::string folder = engine.recordingStatus()->folder;
    deliver(ugmTelegram(100) + ugmTelegram(101));
    engine.poll();
    EXPECT_EQ(std::count(reports.said.begin(), reports.said.end(), "recording failed"), 0);
#ifndef _WIN32
    // The folder goes away: the next segment cannot be begun.
    std::filesystem::remove_all(folder);
    for (int i = 0; i < 30; ++i) deliver(ugmTelegram(102 + i));
    clock.advance(1s);
    engine.poll();
    engine.poll();
    EXPECT_EQ(std::count(reports.said.begin(), reports.said.end(), "recording failed"), 1);
    EXPECT_TRUE(engine.live());
    EXPECT_EQ(event.lines().size(), 32u);
    EXPECT_FALSE(engine.recordingStatus()->lastError.empty());
#endif
    engine.stop();
    EXPECT_EQ(reports.ends.size(), 1u);
    std::filesystem::remove_all(parent);
}

TEST(LiveReasons, EveryEndHasWordsInBothLanguages) {
    for (const EndReason r :
         {EndReason::Stopp, EndReason::SessionEnd, EndReason::DeviceGone, EndReason::NoAnswer,
          EndReason::UnknownReply, EndReason::OutputFailed, EndReason::PortNotOpened}) {
        EXPECT_FALSE(reasonText({r}).empty());
        EXPECT_FALSE(reasonTextGerman({r}).empty());
    }
    EXPECT_EQ(reasonText({EndReason::Interrupted, SIGINT}), "SIGINT (Ctrl-C)");
    EXPECT_EQ(reasonText({EndReason::UnknownReply}), "the reply names no known panel type");
}

}  // namespace
}  // namespace zindra::live
