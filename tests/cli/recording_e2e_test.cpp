// Recordings end to end: zindra-cli trace --record against the simulator on
// pseudo-terminals, through cable pulls and a kill, read back by replay.
#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "cli/common.h"
#include "cli/live_support.h"
#include "events/event_row.h"
#include "recording/reader.h"
#include "support/process.h"
#include "support/run_cli.h"

namespace zindra::cli {
namespace {

namespace fs = std::filesystem;
using testing::Process;
using testing::readAll;
using testing::runCli;
using testing::TempDirTest;
using namespace std::chrono_literals;

const std::string Reply = "UGM\r\n";

// A seeded UGM stream: the reply line, then telegrams with random numbers
// between runs of filler bytes that start no telegram.
std::string seededStream(std::size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s = Reply;
    s.reserve(size + 64);
    while (s.size() < size) {
        s += '\x02';
        for (int i = 0; i < 13; ++i) s += static_cast<char>('0' + rng() % 10);
        s += "\x03Z";
        const std::size_t filler = 200 + rng() % 3000;
        for (std::size_t i = 0; i < filler; ++i) s += static_cast<char>('A' + rng() % 26);
    }
    s.resize(size);
    return s;
}

std::vector<std::string> splitLines(const std::string& text, char end = '\n') {
    std::vector<std::string> out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t lf = text.find(end, pos);
        out.push_back(text.substr(pos, lf == std::string::npos ? std::string::npos : lf - pos));
        if (lf == std::string::npos) break;
        pos = lf + 1;
    }
    return out;
}

std::vector<std::string> cells(const std::string& row) {
    std::vector<std::string> out = splitLines(row, ';');
    if (!row.empty() && row.back() == ';') out.emplace_back();
    return out;
}

// The bytes of a recording's segments without the reply-line copies.
std::string joinedStream(const recording::Recording& r) {
    std::string joined;
    for (const recording::SegmentFile& seg : r.segments) {
        const std::string bytes = readAll(seg.path);
        std::size_t from = 0;
        if (seg.startsWithCopy) from = bytes.find('\n') + 1;
        joined += bytes.substr(from);
    }
    return joined;
}

// Waits until pred holds or the time-out passes; returns pred().
template <typename Pred>
bool waitFor(Pred pred, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!pred() && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(100ms);
    return pred();
}

std::string onlyFolder(const fs::path& parent) {
    std::vector<fs::path> found;
    for (const auto& e : fs::directory_iterator(parent)) found.push_back(e.path());
    return found.size() == 1 ? found[0].string() : std::string();
}

struct RecordingE2e : TempDirTest {};

TEST_F(RecordingE2e, FiftyMegabytesThroughTwoCablePullsAreRecordedByteForByte) {
#ifdef ZINDRA_SANITIZED
    // Under the sanitizers, which make every byte some ten times dearer, the
    // same checks on a stream that still spans two segments.
    constexpr std::size_t Size = 16u << 20;
#else
    constexpr std::size_t Size = 50u << 20;
#endif
    constexpr std::size_t PullAfter = Size / 5 * 2;
    const std::string stream = seededStream(Size, 18);
    const std::string trc = write("stream.TRC", stream);
    const std::string link = path("fat");
    Process sim({ZINDRA_CLI, "simulate", trc, "--baud", "100000000", "--pull-after",
                 std::to_string(PullAfter), "--pull-for", "1", "--link", link},
                path("sim.out"), path("sim.err"));
    ASSERT_EQ(sim.firstLine(), link);
    Process tr({ZINDRA_CLI, "trace", "--port", link, "--record", path("rec")}, path("tr.out"),
               path("tr.err"));

    // Until every byte (and the reply line after each pull) is on disk.
    const std::size_t expected = Size + 2 * Reply.size();
    const auto recorded = [&] {
        const std::string folder = fs::exists(path("rec")) ? onlyFolder(path("rec")) : std::string();
        if (folder.empty()) return std::size_t{0};
        std::size_t total = 0;
        int segments = 0;
        for (const auto& e : fs::directory_iterator(folder)) {
            if (e.path().extension() == ".TRC") total += e.file_size(), ++segments;
        }
        return total - (segments > 1 ? (segments - 1) * Reply.size() : 0);
    };
    EXPECT_TRUE(waitFor([&] { return recorded() >= expected; }, 180s)) << recorded() << "\n" << tr.err();
    tr.signal(SIGTERM);
    ASSERT_EQ(tr.wait(), 0) << tr.err();
    sim.signal(SIGINT);
    EXPECT_EQ(sim.wait(), 0);

    // What the simulator delivered while connected: the stream, with the
    // reply line again wherever it came back.
    std::string delivered;
    std::size_t from = 0;
    for (const std::string& line : splitLines(sim.err())) {
        if (line.rfind("PULL ", 0) != 0) continue;
        const std::size_t at = std::stoul(line.substr(5));
        delivered += stream.substr(from, at - from) + Reply;
        from = at;
    }
    delivered += stream.substr(from);
    ASSERT_EQ(delivered.size(), expected) << sim.err();

    const std::string folder = onlyFolder(path("rec"));
    recording::Recording r = recording::readRecording(folder);
    EXPECT_TRUE(r.problems.empty()) << r.problems.front();
    EXPECT_GT(r.segments.size(), Size / recording::DefaultSegmentLimit);
    const std::string joined = joinedStream(r);
    EXPECT_EQ(joined.size(), delivered.size());
    EXPECT_TRUE(joined == delivered);
    ASSERT_EQ(r.manifest.gaps.size(), 2u);
    for (const recording::Gap& g : r.manifest.gaps) {
        ASSERT_TRUE(g.to.has_value());
        EXPECT_GE(*g.to - g.from, 900'000);
    }
    EXPECT_EQ(r.manifest.reason, "SIGTERM");
    EXPECT_EQ(r.manifest.protocol, "UGM");

    // Times never run backwards, in the index and in the event file.
    std::int64_t last = 0;
    for (const recording::SegmentFile& seg : r.segments) {
        for (const recording::IndexEntry& e : recording::readIndex(seg)) {
            EXPECT_GE(e.time, last);
            last = e.time;
        }
    }
    // The event file, made from the recording, has the live trace's and the
    // replay's lines, and a row for each gap.
    const auto csv = runCli({"replay", "--format", "csv", folder});
    EXPECT_EQ(csv.status, 0) << csv.err;
    const std::vector<std::string> rows = splitLines(csv.out, '\r');
    std::vector<std::string> eventLines;
    std::string lastTime;
    int gapRows = 0;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const std::string row = rows[i].substr(rows[i].front() == '\n' ? 1 : 0);
        if (row.empty()) continue;
        const std::vector<std::string> c = cells(row);
        ASSERT_EQ(c.size(), events::ColumnNames.size()) << row;
        EXPECT_GE(c[events::TimeColumn], lastTime);
        lastTime = c[events::TimeColumn];
        if (c[events::StateColumn] == "Unterbrechung") {
            ++gapRows;
        } else {
            eventLines.push_back(c[events::LineColumn]);
        }
    }
    EXPECT_EQ(gapRows, 2);
    const auto replayed = runCli({"replay", folder});
    EXPECT_EQ(replayed.status, 0) << replayed.err;
    const std::vector<std::string> replayLines = splitLines(replayed.out);
    EXPECT_GT(replayLines.size(), Size / 4096);  // a telegram every 1,700 bytes on average
    EXPECT_TRUE(eventLines == replayLines);
    EXPECT_TRUE(splitLines(tr.out()) == replayLines);
    // A later segment alone is an ordinary trace file.
    ASSERT_GE(r.segments.size(), 2u);
    const auto alone = runCli({"replay", r.segments[1].path});
    EXPECT_EQ(alone.status, 0) << alone.err;
    EXPECT_GT(splitLines(alone.out).size(), 1000u);
}

// Cable pulls inside telegrams: the live output and the recording's replay
// hold exactly the events of the pieces the simulator delivered, each
// decoded on its own (the half telegram before a pull is never joined with
// the reply line that follows it), and only the telegrams cut are missing.
TEST_F(RecordingE2e, CablePullsInsideTelegramsMakeUpNoEvent) {
    std::string stream = Reply;
    for (int i = 0; i < 12; ++i)
        stream +=
            "\x02"
            "00" +
            std::to_string(100 + i) +
            "41"
            "0000"
            "07"
            "\x03"
            "Z";
    // Every 61 bytes: 8, 5 and 2 bytes into a telegram.
    const std::string trc = write("cut.TRC", stream);
    const std::string link = path("fat");
    Process sim({ZINDRA_CLI, "simulate", trc, "--baud", "115200", "--pull-after", "61", "--pull-for", "1",
                 "--link", link},
                path("sim.out"), path("sim.err"));
    ASSERT_EQ(sim.firstLine(), link);
    Process tr({ZINDRA_CLI, "trace", "--port", link, "--record", path("rec")}, path("tr.out"),
               path("tr.err"));
    ASSERT_TRUE(waitFor([&] { return splitLines(tr.out()).size() >= 9; }, 30s)) << tr.err() << sim.err();
    std::this_thread::sleep_for(300ms);
    tr.signal(SIGINT);
    ASSERT_EQ(tr.wait(), 0) << tr.err();
    sim.signal(SIGINT);
    EXPECT_EQ(sim.wait(), 0);

    // The pieces as delivered, each replayed on its own.
    std::string expected;
    std::size_t from = 0;
    int pulls = 0;
    const auto piece = [&](std::size_t to) {
        const std::string bytes = (from == 0 ? "" : Reply) + stream.substr(from, to - from);
        expected += runCli({"replay", write("piece.TRC", bytes)}).out;
        from = to;
    };
    for (const std::string& line : splitLines(sim.err())) {
        if (line.rfind("PULL ", 0) != 0) continue;
        const std::size_t at = std::stoul(line.substr(5));
        EXPECT_NE((at - Reply.size()) % 16, 0u) << "a pull between two telegrams at " << at;
        piece(at);
        ++pulls;
    }
    piece(stream.size());
    ASSERT_EQ(pulls, 3) << sim.err();
    EXPECT_EQ(splitLines(expected).size(), 12u - 3u);
    EXPECT_EQ(tr.out(), expected);
    const auto replayed = runCli({"replay", onlyFolder(path("rec"))});
    EXPECT_EQ(replayed.status, 0) << replayed.err;
    EXPECT_EQ(replayed.out, expected);
}

TEST_F(RecordingE2e, KilledDuringARecordingWhatIsOnDiskReplaysWithoutError) {
    const std::string stream = seededStream(4u << 20, 9);
    const std::string trc = write("stream.TRC", stream);
    Process sim({ZINDRA_CLI, "simulate", trc, "--baud", "2000000"}, path("sim.out"), path("sim.err"));
    const std::string pty = sim.firstLine();
    ASSERT_FALSE(pty.empty());
    Process tr({ZINDRA_CLI, "trace", "--port", pty, "--record", path("rec")}, path("tr.out"), path("tr.err"));
    // Some seconds of data, then the power cut as a program sees it.
    ASSERT_TRUE(waitFor([&] { return splitLines(tr.out()).size() > 400; }, 20s)) << tr.err();
    tr.signal(SIGKILL);
    tr.wait();
    const std::vector<std::string> live = splitLines(tr.out());

    const std::string folder = onlyFolder(path("rec"));
    const auto replayed = runCli({"replay", "--timestamps", folder});
    EXPECT_EQ(replayed.status, 0) << replayed.err;
    EXPECT_NE(replayed.err.find("has no end: the recording was cut off"), std::string::npos) << replayed.err;
    // Everything up to the last second is there: a prefix of what the live
    // trace showed, each line with its time.
    const std::vector<std::string> lines = splitLines(replayed.out);
    EXPECT_GT(lines.size(), 100u);
    ASSERT_LE(lines.size(), live.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        ASSERT_EQ(lines[i].substr(29, 1), " ");
        ASSERT_EQ(lines[i].substr(30), live[i]) << i;
    }
    const recording::Recording r = recording::readRecording(folder);
    const std::string joined = joinedStream(r);
    EXPECT_TRUE(stream.compare(0, joined.size(), joined) == 0);
    // Damage is named after everything readable has been shown, and fails.
    fs::remove(fs::path(folder) / "manifest.txt");
    const auto damaged = runCli({"replay", "--timestamps", folder});
    EXPECT_EQ(damaged.status, 1);
    EXPECT_EQ(damaged.out, replayed.out);
    EXPECT_EQ(damaged.err.rfind("zindra-cli: " + folder +
                                    "/manifest.txt is missing: port, protocol, times and "
                                    "gaps are unknown\n",
                                0),
              0u)
        << damaged.err;
    sim.signal(SIGINT);
    EXPECT_EQ(sim.wait(), 0);
}

TEST_F(RecordingE2e, AWatchGoesOnWhenTheDeviceComesBackWithoutAnAnswer) {
    const std::string link = path("fat");
    auto first = std::make_unique<testing::FakeFat>();
    fs::create_symlink(first->name, link);
    Process tr({ZINDRA_CLI, "trace", "--port", link, "--watch"}, path("tr.out"), path("tr.err"));
    ASSERT_TRUE(first->await("\nTRACEON"));
    // What follows the reply in its chunk is shown with the next chunk.
    first->send(Reply + testing::UgmTelegram);
    std::this_thread::sleep_for(200ms);
    first->send(testing::UgmTelegram);
    ASSERT_TRUE(waitFor([&] { return splitLines(tr.out()).size() == 2; }, 5s)) << tr.err();
    // The cable is pulled; the device that comes back behind the same name
    // answers only the second "\nTRACEON".
    testing::FakeFat second;
    fs::remove(link);
    fs::create_symlink(second.name, link);
    first.reset();
    ASSERT_TRUE(second.await("\nTRACEON\nTRACEON", 15s)) << tr.err() << printable(second.got);
    second.send(Reply + testing::UgmTelegram);
    std::this_thread::sleep_for(200ms);
    second.send(testing::UgmTelegram);
    EXPECT_TRUE(waitFor([&] { return splitLines(tr.out()).size() == 4; }, 5s)) << tr.err();
    tr.signal(SIGINT);
    EXPECT_EQ(tr.wait(), 0) << tr.err();
    EXPECT_NE(tr.err().find("no answer from the FAT on " + link + "; trying again every 2 s"),
              std::string::npos)
        << tr.err();
    EXPECT_TRUE(second.await("\nTRACEOF"));
}

TEST_F(RecordingE2e, AFolderThatCannotBeMadeEndsTheTraceBeforeThePortOpens) {
    testing::FakeFat fat;
    ASSERT_FALSE(fat.name.empty());
    const std::string file = write("file", "x");
    const auto r = runCli({"trace", "--port", fat.name, "--record", file + "/sub"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "zindra-cli: Cannot make the folder " + file + "/sub for recordings: Not a directory\n");
    EXPECT_FALSE(fat.await("\nTRACEON", 300ms));
    // Times belong to recordings; a recording knows its reply line.
    EXPECT_EQ(runCli({"replay", "--timestamps", write("plain.TRC", Reply)}).status, 2);
    fs::create_directories(path("rec"));
    write("rec/0001.TRC", Reply);
    EXPECT_EQ(runCli({"replay", "--protocol", "UGM", path("rec")}).status, 2);
}

}  // namespace
}  // namespace zindra::cli
