// The recording written through a trace session and read back: segments,
// time index, event file, manifest, and what a cut-off or damaged folder
// gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>
#endif

#include "events/event_row.h"
#include "events/time_text.h"
#include "recording/format.h"
#include "recording/reader.h"
#include "recording/recorder.h"
#include "trace/session.h"

namespace zindra::recording {
namespace {

namespace fs = std::filesystem;

const std::string Reply = "UGM\r\n";
const std::string Telegram =
    "\x02"
    "1123410000070"
    "\x03"
    "Z";
const std::string Telegram2 =
    "\x02"
    "1123410000071"
    "\x03"
    "Z";

std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t lf = text.find('\n', pos);
        out.push_back(text.substr(pos, lf == std::string::npos ? std::string::npos : lf - pos + 1));
        if (lf == std::string::npos) break;
        pos = lf + 1;
    }
    return out;
}

// Every event line with its time, as a listener takes them.
struct Collect final : trace::EventListener {
    std::vector<std::pair<std::string, trace::ChunkTime>> got;
    void onEvent(const decoders::EventRecord& r, trace::ChunkTime t) override { got.emplace_back(r.line, t); }
};

// A session as a live trace runs it, with a recorder attached.
struct Live {
    trace::MemoryPane text, hex, event;
    trace::Panes panes{text, hex, event};
    trace::NullUi ui;
    trace::TraceSession session{panes, ui};
    Collect events;
    std::string delivered;  // every byte given to the receive handler

    void attach(Recorder& rec) {
        session.setChunkSink(&rec);
        session.eventListeners().add(rec);
        session.eventListeners().add(events);
        session.clearIdentText();
        session.enterWaiting();
    }
    void receive(const std::string& bytes, std::int64_t t) {
        session.receiveChunk(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), t);
        delivered += bytes;
    }
};

struct RecordingTest : ::testing::Test {
    fs::path parent = fs::temp_directory_path() /
                      ("zindra-recording-test-" +
                       std::to_string(std::chrono::system_clock::now().time_since_epoch().count()));
    void SetUp() override { fs::create_directories(parent); }
    void TearDown() override { fs::remove_all(parent); }
    RecorderOptions options(std::uint64_t limit = DefaultSegmentLimit,
                            RecordingFormat format = RecordingFormat::Compact) const {
        RecorderOptions o{parent.string(), "/dev/ttyUSB0", "Zindra 9.9", limit};
        o.format = format;
        return o;
    }
};

constexpr std::int64_t T0 = 1'765'000'000'000'000;  // a December 2025 morning, UTC
constexpr std::int64_t Second = 1'000'000;

// The same bytes recorded in both formats replay to the same panes, events
// and times, those of the live trace.
TEST_F(RecordingTest, SegmentsIndexEventsAndManifestReplayAsTheLiveTraceDecoded) {
    std::vector<std::pair<std::string, trace::ChunkTime>> replayed[2];
    for (const RecordingFormat format : {RecordingFormat::Text, RecordingFormat::Compact}) {
        SCOPED_TRACE(static_cast<int>(format));
        Live live;
        std::string folder;
        {
            Recorder rec(options(200, format), T0);
            folder = rec.folder();
            live.attach(rec);
            std::int64_t t = T0;
            live.receive(Reply + Telegram, t += 1000);
            for (int i = 0; i < 12; ++i) live.receive(i % 2 ? Telegram : Telegram2, t += 1000);
            // The cable is pulled; the FAT answers again after the reopen.
            rec.gapBegan(T0 + 5 * Second);
            rec.gapEnded(T0 + 9 * Second);
            live.session.clearIdentText();
            live.session.enterWaiting();
            t = T0 + 9 * Second;
            live.receive(Reply, t += 1000);
            for (int i = 0; i < 6; ++i) live.receive(Telegram2 + Telegram, t += 1000);
            const RecorderStatus s = rec.status(T0 + 20 * Second);
            EXPECT_EQ(s.bytes, live.delivered.size());
            EXPECT_EQ(s.elapsedUs, 20 * Second);
            ASSERT_EQ(s.gaps.size(), 1u);
            EXPECT_TRUE(s.writing);
            rec.finish("Stopp", T0 + 20 * Second);
            EXPECT_FALSE(rec.status().writing);
        }
        ASSERT_GE(live.events.got.size(), 24u);
        EXPECT_EQ(fs::path(folder).parent_path(), parent);

        Recording r = readRecording(folder);
        EXPECT_TRUE(r.problems.empty()) << r.problems.front();
        EXPECT_FALSE(r.cutOff || r.damaged);
        ASSERT_GE(r.segments.size(), 3u);
        // Each segment starts with the reply line and stays within the limit;
        // joined without the marked copies they are every byte received.
        std::string joined;
        for (std::size_t i = 0; i < r.segments.size(); ++i) {
            const std::string bytes = readAll(r.segments[i].path);
            EXPECT_EQ(bytes.substr(0, Reply.size()), Reply) << i;
            EXPECT_LE(bytes.size(), 200u);
            const std::vector<IndexEntry> index = readIndex(r.segments[i]);
            ASSERT_EQ(index.size(), r.segments[i].chunks);
            ASSERT_FALSE(index.empty());
            EXPECT_EQ(index.front().copy, i > 0);
            EXPECT_EQ(r.segments[i].startsWithCopy, i > 0);
            joined += bytes.substr(i > 0 ? index[1].offset : 0);
        }
        EXPECT_EQ(joined, live.delivered);
        const Manifest& m = r.manifest;
        EXPECT_EQ(m.format, format);
        EXPECT_EQ(m.program, "Zindra 9.9");
        EXPECT_EQ(m.port, "/dev/ttyUSB0");
        EXPECT_EQ(m.protocol, "UGM");
        EXPECT_EQ(m.reply, "UGM\\r\\n");
        EXPECT_EQ(m.start, T0);
        EXPECT_EQ(m.end, T0 + 20 * Second);
        EXPECT_EQ(m.reason, "Stopp");
        ASSERT_EQ(m.gaps.size(), 1u);
        EXPECT_EQ(m.gaps[0].from, T0 + 5 * Second);
        EXPECT_EQ(m.gaps[0].to, T0 + 9 * Second);

        // Replayed: the same events with the same times, the same event pane.
        Live again;
        again.session.eventListeners().add(again.events);
        replayRecording(again.session, r);
        EXPECT_EQ(again.events.got, live.events.got);
        EXPECT_EQ(again.event.lines(), live.event.lines());
        EXPECT_EQ(again.hex.lines(), live.hex.lines());
        EXPECT_EQ(again.text.lines(), live.text.lines());
        EXPECT_FALSE(again.session.running());
        replayed[format == RecordingFormat::Compact] = again.events.got;

        if (format == RecordingFormat::Compact) {
            // A compact recording has no event file and an index of a few bytes
            // per chunk.
            EXPECT_FALSE(fs::exists(fs::path(folder) / EventsName));
            // The first entry's time whole (8 bytes), every later one 2 bytes
            // from the one before; 1 byte each for length and flags.
            EXPECT_EQ(fs::file_size(fs::path(folder) / "0001.tix"),
                      CompactMagic.size() + 9 + 3 * (r.segments[0].chunks - 1));
            continue;
        }
        // The event file: BOM and header, one row per event with its time, and
        // the gap's row where it happened.
        const std::vector<std::string> rows = lines(readAll(fs::path(folder) / EventsName));
        ASSERT_EQ(rows.size(), 1 + live.events.got.size() + 1);
        EXPECT_EQ(rows[0], std::string(events::CsvBom) + events::csvHeader());
        std::size_t row = 1;
        for (std::size_t i = 0; i < live.events.got.size(); ++i, ++row) {
            if (*live.events.got[i].second > T0 + 9 * Second &&
                rows[row].find("Unterbrechung") != std::string::npos) {
                EXPECT_EQ(rows[row], gapEventLine(m.gaps[0], "UGM"));
                ++row;
            }
            EXPECT_NE(rows[row].find(events::utf8FromCp1252(live.events.got[i].first)), std::string::npos)
                << row;
        }
        EXPECT_NE(
            gapEventLine(m.gaps[0], "UGM").find(";UGM;;;;;;;Unterbrechung;Verbindung unterbrochen bis "),
            std::string::npos);
    }
    EXPECT_EQ(replayed[0], replayed[1]);
}

TEST_F(RecordingTest, NeverWritesOverAnEarlierRecordingAndRollsAtLocalMidnight) {
    // The day's end is local midnight: a new date at 00:00:00.
    const std::int64_t midnight = nextLocalMidnight(T0);
    EXPECT_EQ(events::isoTime(midnight).substr(10, 13), "T00:00:00.000");
    EXPECT_NE(events::isoTime(midnight - 1).substr(0, 10), events::isoTime(midnight).substr(0, 10));
    EXPECT_LT(midnight - T0, 25 * 3600 * Second);

    // The first in the text format, the second compact.
    Recorder first(options(DefaultSegmentLimit, RecordingFormat::Text), midnight - 3 * Second);
    Recorder second(options(), midnight - 3 * Second);
    EXPECT_NE(first.folder(), second.folder());
    EXPECT_EQ(second.folder(), first.folder() + "_2");
    const std::string a = Reply + Telegram, b = Telegram2;
    for (Recorder* rec : {&first, &second}) {
        rec->onChunk(reinterpret_cast<const std::uint8_t*>(a.data()), a.size(), midnight - 1);
        rec->onChunk(reinterpret_cast<const std::uint8_t*>(b.data()), b.size(), midnight);
        rec->finish("Stopp", midnight + 1);
        EXPECT_EQ(readAll(fs::path(rec->folder()) / "0001.TRC"), a);
        EXPECT_EQ(readAll(fs::path(rec->folder()) / "0002.TRC"), Reply + b);
        EXPECT_EQ(readRecording(rec->folder()).segments.size(), 2u);
    }
    EXPECT_EQ(readAll(fs::path(first.folder()) / "0002.idx"),
              indexLine(0, midnight, IndexCopy) + indexLine(Reply.size(), midnight));
    // The compact index of the same: the copy's entry (its time from 0),
    // the chunk's (its time from the copy's).
    std::string compact(CompactMagic);
    appendCompactEntry(compact, Reply.size(), static_cast<std::uint64_t>(midnight), CompactCopy);
    appendCompactEntry(compact, b.size(), 0, 0);
    EXPECT_EQ(readAll(fs::path(second.folder()) / "0002.tix"), compact);
}

TEST_F(RecordingTest, CutOffIsReadToWhereItStoppedAndDamageIsNamed) {
    for (const RecordingFormat format : {RecordingFormat::Text, RecordingFormat::Compact}) {
        SCOPED_TRACE(static_cast<int>(format));
        const bool compact = format == RecordingFormat::Compact;
        Live live;
        std::string folder;
        {
            Recorder rec(options(100, format), T0);
            folder = rec.folder();
            live.attach(rec);
            live.receive(Reply + Telegram, T0 + 1);
            for (int i = 0; i < 10; ++i) live.receive(Telegram, T0 + 2 + i);
            std::this_thread::sleep_for(std::chrono::milliseconds(600));
            rec.tick();
            // Left as a crash leaves it: no end in the manifest, the index's last
            // line half written.
            fs::copy(folder, folder + "-cut");
            rec.finish("Stopp");
        }
        const std::string cut = folder + "-cut";
        const std::string lastIdx = (fs::path(cut) / indexName(3, format)).string();
        std::string idx = readAll(lastIdx);
        std::ofstream(lastIdx, std::ios::binary) << idx.substr(0, idx.size() - (compact ? 1 : 3));
        Recording r = readRecording(cut);
        EXPECT_TRUE(r.cutOff);
        EXPECT_FALSE(r.damaged) << r.problems.front();
        ASSERT_EQ(r.problems.size(), 2u);
        EXPECT_NE(r.problems[0].find("has no end"), std::string::npos);
        EXPECT_NE(r.problems[1].find(compact ? "0003.tix: the last entry is half written"
                                             : "0003.idx: the last line is half written"),
                  std::string::npos)
            << r.problems[1];
        Live again;
        again.session.eventListeners().add(again.events);
        replayRecording(again.session, r);
        EXPECT_EQ(again.events.got, live.events.got);

        // A segment gone in the middle: named, and the rest still replays.
        fs::remove(fs::path(cut) / "0002.TRC");
        r = readRecording(cut);
        EXPECT_TRUE(r.damaged);
        EXPECT_NE(std::find(r.problems.begin(), r.problems.end(), "0002.TRC is missing in " + cut),
                  r.problems.end());
        EXPECT_EQ(r.segments.size(), 2u);
        fs::remove_all(cut);
    }

    // Not a recording at all.
    fs::create_directories(parent / "empty");
    try {
        readRecording((parent / "empty").string());
        FAIL();
    } catch (const RecordingError& e) {
        EXPECT_EQ(std::string(e.what()),
                  (parent / "empty").string() +
                      " is not a recording folder: it has neither manifest.txt nor 0001.TRC");
    }
    EXPECT_THROW(readRecording((parent / "none").string()), RecordingError);
}

#ifndef _WIN32
TEST_F(RecordingTest, AFailedWriteInterruptsTheRecordingButNotTheTrace) {
    // A folder that cannot be made is refused at the start.
    std::ofstream((parent / "file").string()) << "x";
    EXPECT_THROW(Recorder(RecorderOptions{(parent / "file" / "sub").string(), "p", "v"}), RecordingError);

    // Files may grow to 64 KiB only: writes beyond fail.
    struct Clock final : TimeSource {
        std::int64_t utc = T0, steady = 0;
        std::int64_t utcNow() override { return utc; }
        std::int64_t steadyNow() override { return steady; }
    } clock;
    Live live;
    RecorderOptions o = options();
    o.clock = &clock;
    Recorder rec(o);
    live.attach(rec);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 64 * 1024;
    ::setrlimit(RLIMIT_FSIZE, &small);
    live.receive(Reply, T0 + 1);
    for (int i = 0; i < 20000; ++i) {
        clock.utc += 10'000;
        clock.steady += 10'000;
        live.receive(Telegram, clock.utc);
        rec.tick();
    }
    const RecorderStatus s = rec.status();
    rec.finish("Stopp");
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(s.writing);
    ASSERT_TRUE(s.interruption.has_value());
    EXPECT_EQ(s.interruption->why, "Schreibfehler (File too large)");
    EXPECT_NE(s.lastError.find("The recording in " + rec.folder() + " is interrupted: cannot write"),
              std::string::npos)
        << s.lastError;
    EXPECT_LT(s.bytes, live.delivered.size());
    EXPECT_EQ(s.bytes + s.lostBytes, live.delivered.size());
    // The trace went on decoding; what was written replays, up to where the
    // files were cut back to a whole chunk.
    EXPECT_EQ(live.events.got.size(), 20000u);
    Recording r = readRecording(rec.folder());
    EXPECT_TRUE(r.incomplete);
    Live again;
    again.session.eventListeners().add(again.events);
    replayRecording(again.session, r);
    ASSERT_GT(again.events.got.size(), 100u);
    EXPECT_LT(again.events.got.size(), live.events.got.size());
    // Every event replayed is one the trace decoded, with its time, in order
    // (the recording went on in a new segment each time the writes worked
    // again).
    std::size_t found = 0;
    for (const auto& e : live.events.got) {
        if (found < again.events.got.size() && again.events.got[found] == e) ++found;
    }
    EXPECT_EQ(found, again.events.got.size());
}
#endif

}  // namespace
}  // namespace zindra::recording
