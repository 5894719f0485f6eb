// zindra-cli under bad arguments, bad files, signals and failing output:
// clear errors and exit statuses, nothing that blocks, reads forever or
// grows without bound.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "cli/live_support.h"
#include "support/process.h"
#include "support/run_cli.h"

namespace zindra::cli {
namespace {

namespace fs = std::filesystem;
using testing::FakeFat;
using testing::Process;
using testing::readAll;
using testing::runCli;
using testing::TempDirTest;
using testing::UgmTelegram;
using namespace std::chrono_literals;

struct CliFault : TempDirTest {
    // A file of `size` bytes after `head`, sparse where the system allows.
    std::string sparse(const std::string& name, const std::string& head, std::uintmax_t size) const {
        write(name, head);
        fs::resize_file(path(name), head.size() + size);
        return path(name);
    }
    // zindra-cli with its output in files; the exit status, or -1 when it
    // did not end within the time-out.
    Process start(const std::vector<std::string>& args, const std::string& out = "") const {
        std::vector<std::string> all{ZINDRA_CLI};
        all.insert(all.end(), args.begin(), args.end());
        return Process(all, out.empty() ? path("p.out") : out, path("p.err"));
    }
};

TEST_F(CliFault, InputsWithoutAUsableReplyLineEndAtOnceWithAShortMessage) {
    // Without a line feed, or with one too early, no reply line can come:
    // the replay ends after a few kilobytes instead of reading (and keeping)
    // a whole gigabyte.
    for (const std::string& head : {std::string(), std::string("\r\n")}) {
        Process p = start({"replay", sparse("zeros.TRC", head, std::uintmax_t{1} << 30)});
        EXPECT_EQ(p.wait(20s), 3);
        EXPECT_NE(p.err().find("no complete reply line"), std::string::npos) << p.err();
        EXPECT_LT(p.maxRssKb(), 100 * 1024);
    }
    // An unmatched reply is quoted with its first 80 characters only.
    const auto r = runCli({"replay", write("long.TRC", std::string(300, 'Q') + "\r\n")});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, "zindra-cli: the reply \"" + std::string(80, 'Q') + "...\" names no known panel type\n");
}

TEST_F(CliFault, GrowingLastLineIsWrittenOutAsItGrows) {
    // 20 MB of bytes that the default decoder strings onto one hex line of
    // 60 MB; the program's memory stays far below that.
    const std::string f = write("one-line.TRC", "UNBEKANNT\r\n" + std::string(20'000'000, 'A'));
    Process p = start({"replay", "--pane", "hex", f}, path("hex.out"));
    ASSERT_EQ(p.wait(60s), 0) << p.err();
    EXPECT_LT(p.maxRssKb(), 100 * 1024);
    // The identifying chunk, then every byte of the file (the reply too, as
    // it stands in the ring) as " 41" on one line.
    EXPECT_EQ(fs::file_size(path("hex.out")), 81 + (11 + 20'000'000) * 3u + 1);
    std::ifstream out(path("hex.out"), std::ios::binary);
    std::string head(81 + 33 + 6, '\0');
    out.read(head.data(), static_cast<std::streamsize>(head.size()));
    EXPECT_EQ(head, "UNBEKANNT\r\n" + std::string(69, 'A') + "\n 55 4E 42 45 4B 41 4E 4E 54 0D 0A 41 41");
}

TEST_F(CliFault, OnlyRegularFilesAreReplayedOrSimulatedAndNothingBlocks) {
    const std::string fifo = path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::vector<std::string>& args : {std::vector<std::string>{"replay", fifo},
                                                 {"simulate", fifo},
                                                 {"replay", "/dev/zero"},
                                                 {"simulate", "/dev/zero"}}) {
        Process p = start(args);
        EXPECT_EQ(p.wait(5s), 1) << args[0] << " " << args[1];
        EXPECT_EQ(p.err(), "zindra-cli: cannot read " + args[1] + ": not a regular file\n");
    }
    // A folder: the reason, not an abort.
    const auto folder = runCli({"simulate", dir.string()});
    EXPECT_EQ(folder.status, 1);
    EXPECT_EQ(folder.err, "zindra-cli: cannot read " + dir.string() + ": Is a directory\n");
}

TEST_F(CliFault, ArgumentsThatWereMisreadOrRefused) {
    const std::string ugm = write("u.TRC", "UGM\r\n" + UgmTelegram);
    const std::string events = runCli({"replay", ugm}).out;
    ASSERT_FALSE(events.empty());
    // A reply given with its line end names the same panel.
    for (const std::string reply : {"UGM\n", "UGM\r\n", "UGM\r"}) {
        const auto r = runCli({"replay", "--protocol", reply, write("t.TRC", UgmTelegram)});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, events);
    }
    // "--" ends the options: a file whose name begins with "-".
    write("-dash.TRC", "UGM\r\n" + UgmTelegram);
    {
        const std::string cmd = "cd " + testing::shellQuote(dir.string()) + " && " +
                                testing::shellQuote(ZINDRA_CLI) + " replay -- -dash.TRC >dash.out 2>&1";
        EXPECT_EQ(std::system(cmd.c_str()), 0);
        EXPECT_EQ(readAll(path("dash.out")), events);
    }
    // Rates that overflow are refused.
    for (const std::string baud : {"99999999999999999999", "4294967296", "0", "-5", "9600x", ""}) {
        Process p = start({"simulate", ugm, "--baud", baud});
        EXPECT_EQ(p.wait(5s), 2) << baud;
        EXPECT_NE(p.err().find("usage"), std::string::npos);
    }
}

TEST_F(CliFault, OutputThatCannotBeWrittenFailsWithAMessage) {
    const std::string ugm = write("u.TRC", "UGM\r\n" + UgmTelegram);
    for (const std::string pane : {"event", "all"}) {
        Process full = start({"replay", "--pane", pane, ugm}, "/dev/full");
        EXPECT_EQ(full.wait(10s), 1) << pane;
        EXPECT_EQ(full.err(), "zindra-cli: cannot write the output: No space left on device\n");
    }
    const std::string cmd = testing::shellQuote(ZINDRA_CLI) + " replay " + testing::shellQuote(ugm) +
                            " >&- 2>" + testing::shellQuote(path("closed.err"));
    const int raw = std::system(cmd.c_str());
    EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 1);
    EXPECT_NE(readAll(path("closed.err")).find("cannot write the output"), std::string::npos);
}

TEST_F(CliFault, HangUpEndsTheTraceLikeCtrlC) {
    FakeFat fat;
    Process tr = start({"trace", "--port", fat.name, "--save", path("hup")});
    ASSERT_TRUE(fat.await("\nTRACEON"));
    fat.send("UGM\r\n" + UgmTelegram);
    std::this_thread::sleep_for(500ms);
    tr.signal(SIGHUP);
    EXPECT_EQ(tr.wait(5s), 0) << tr.err();
    EXPECT_TRUE(fat.await("\nTRACEON\nTRACEOF"));  // the FAT stops mirroring
    EXPECT_EQ(readAll(path("hup.TRC")), "UGM\r\n" + UgmTelegram);
}

TEST_F(CliFault, ClosedOutputPipeEndsTheTraceWithTraceOffAndSaves) {
    FakeFat fat;
    const std::string fifo = path("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    Process tr = start({"trace", "--port", fat.name, "--save", path("piped")}, fifo);
    ASSERT_TRUE(fat.await("\nTRACEON"));
    ::close(reader);  // as `| head` does once it has its lines
    fat.send("UGM\r\n");
    std::this_thread::sleep_for(200ms);
    fat.send(UgmTelegram + UgmTelegram);
    EXPECT_EQ(tr.wait(5s), 1);
    EXPECT_NE(tr.err().find("cannot write the output: Broken pipe"), std::string::npos) << tr.err();
    EXPECT_TRUE(fat.await("\nTRACEON\nTRACEOF"));
    EXPECT_EQ(readAll(path("piped.TRC")).substr(0, 5), "UGM\r\n");
}

TEST_F(CliFault, StartDropsEverythingAFatLeftMirroringQueuedAndStillIdentifies) {
    FakeFat fat;
    // Far more than one 80-byte chunk waits before the trace starts.
    std::string stale;
    for (int i = 0; i < 200; ++i) stale += UgmTelegram;
    fat.send(stale);
    Process tr = start({"trace", "--port", fat.name});
    ASSERT_TRUE(fat.await("\nTRACEON"));
    fat.send("UGM\r\n" + UgmTelegram);
    std::this_thread::sleep_for(500ms);
    tr.signal(SIGINT);
    EXPECT_EQ(tr.wait(5s), 0) << tr.err();
    EXPECT_EQ(tr.out(), runCli({"replay", write("u.TRC", "UGM\r\n" + UgmTelegram)}).out);
}

TEST_F(CliFault, TraceEndingBeforeACompleteReplyLineExitsThree) {
    FakeFat fat;
    Process tr = start({"trace", "--port", fat.name});
    ASSERT_TRUE(fat.await("\nTRACEON"));
    fat.send("UG");
    std::this_thread::sleep_for(300ms);
    tr.signal(SIGINT);
    EXPECT_EQ(tr.wait(5s), 3);
}

}  // namespace
}  // namespace zindra::cli
