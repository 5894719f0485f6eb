// Live traces end to end: zindra-cli trace against the simulator (or a
// pseudo-terminal the test drives) on a real pseudo-terminal.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
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
using namespace std::chrono_literals;

struct TraceE2e : TempDirTest {
    std::string sample(const std::string& name) const { return std::string(ZINDRA_SAMPLES_DIR) + "/" + name; }
};

TEST_F(TraceE2e, TraceAgainstTheSimulatorPrintsTheReplaysEvents) {
    Process sim({ZINDRA_CLI, "simulate", sample("ugm.TRC"), "--baud", "19200"}, path("sim.out"),
                path("sim.err"));
    const std::string pty = sim.firstLine();
    ASSERT_FALSE(pty.empty());
    Process tr({ZINDRA_CLI, "trace", "--port", pty, "--save", path("live")}, path("tr.out"), path("tr.err"));
    const std::string trc = readAll(sample("ugm.TRC"));
    // Wait until the whole file has arrived, then end the trace like Ctrl-C.
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < end && tr.out() != runCli({"replay", sample("ugm.TRC")}).out) {
        std::this_thread::sleep_for(50ms);
    }
    tr.signal(SIGINT);
    EXPECT_EQ(tr.wait(), 0) << tr.err();
    EXPECT_EQ(tr.out(), runCli({"replay", sample("ugm.TRC")}).out);
    EXPECT_EQ(readAll(path("live.TRC")), trc);
    // Stopp sent the command the simulator stops on.
    const auto stopEnd = std::chrono::steady_clock::now() + 3s;
    while (std::chrono::steady_clock::now() < stopEnd && sim.err().find("TRACEOF") == std::string::npos) {
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_NE(sim.err().find("TRACEOF"), std::string::npos);
    // The saved hex pane has CR LF lines and starts with the identification chunk.
    const std::string dat = readAll(path("live.dat"));
    ASSERT_GT(dat.size(), 2u);
    EXPECT_EQ(dat.substr(dat.size() - 2), "\r\n");
    EXPECT_NE(dat.find(" 02 30 30 31 32 33 34 31 30 30 30 30 30 37 03 5A\r\n"), std::string::npos);
    EXPECT_TRUE(fs::exists(path("live.DA1")));
    sim.signal(SIGINT);
    EXPECT_EQ(sim.wait(), 0);
}

TEST_F(TraceE2e, SilentDeviceTimesOutAfterFourSeconds) {
    FakeFat fat;
    ASSERT_FALSE(fat.name.empty());
    const auto start = std::chrono::steady_clock::now();
    Process tr({ZINDRA_CLI, "trace", "--port", fat.name}, path("tr.out"), path("tr.err"));
    EXPECT_TRUE(fat.await("\nTRACEON"));
    EXPECT_EQ(tr.wait(10s), 3);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 3900ms);
    EXPECT_LT(took, 8s);
    EXPECT_NE(tr.err().find("Kabel zwischen"), std::string::npos);
    EXPECT_TRUE(fat.await("\nTRACEON\nTRACEOF"));
}

TEST_F(TraceE2e, UnmatchedReplyGivesTheIdentificationMessage) {
    FakeFat fat;
    Process tr({ZINDRA_CLI, "trace", "--port", fat.name}, path("tr.out"), path("tr.err"));
    ASSERT_TRUE(fat.await("\nTRACEON"));
    fat.send("NOPE\r\n");
    EXPECT_EQ(tr.wait(5s), 3);
    EXPECT_NE(tr.err().find("keinen Trace"), std::string::npos);
    EXPECT_TRUE(fat.await("\nTRACEOF"));
}

TEST_F(TraceE2e, KilledSimulatorEndsTheTraceAndKeepsEveryByteReceived) {
    // A long trace at a slow rate, so the simulator is killed mid-way.
    std::string trc = "UGM\r\n";
    for (int i = 0; i < 200; ++i)
        trc +=
            "\x02"
            "1123410000070"
            "\x03"
            "Z";
    { std::ofstream(path("long.TRC"), std::ios::binary) << trc; }
    Process sim({ZINDRA_CLI, "simulate", path("long.TRC"), "--baud", "9600"}, path("sim.out"),
                path("sim.err"));
    const std::string pty = sim.firstLine();
    ASSERT_FALSE(pty.empty());
    Process tr({ZINDRA_CLI, "trace", "--port", pty, "--save", path("cut")}, path("tr.out"), path("tr.err"));
    std::this_thread::sleep_for(1500ms);
    sim.signal(SIGKILL);
    EXPECT_EQ(tr.wait(5s), 0) << tr.err();
    EXPECT_NE(tr.err().find("went away"), std::string::npos);
    const std::string saved = readAll(path("cut.TRC"));
    EXPECT_GT(saved.size(), 100u);
    EXPECT_LT(saved.size(), trc.size());
    EXPECT_EQ(trc.compare(0, saved.size(), saved), 0);
    // Every complete telegram received became an event line.
    const std::string events = tr.out();
    EXPECT_GE(static_cast<std::size_t>(std::count(events.begin(), events.end(), '\n')),
              (saved.size() - 5) / 16 - 1);
}

TEST_F(TraceE2e, PortThatCannotBeOpenedExitsFour) {
    const auto r = runCli({"trace", "--port", path("no-such-tty")});
    EXPECT_EQ(r.status, 4);
    EXPECT_NE(r.err.find("Specified device not found"), std::string::npos);
    EXPECT_EQ(runCli({"trace"}).status, 2);
}

}  // namespace
}  // namespace zindra::cli
