// zindra-cli trace --save: every byte that arrived is saved, the target is
// checked before the trace, each file is tried, and a failed trace never
// replaces a good one.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <csignal>
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

struct TraceSave : TempDirTest {
    // UGM telegrams after the reply line, `size` bytes at most, written to
    // `name`.TRC and played by the simulator at 921,600 baud into a trace
    // saved as `name` (recorded into "rec" instead, without save); Ctrl-C
    // after `wait`.  The trace's exit status.
    int simulatedTrace(const std::string& name, std::size_t size, std::chrono::milliseconds wait,
                       bool save = true) {
        sent = "UGM\r\n";
        while (sent.size() + UgmTelegram.size() <= size) sent += UgmTelegram;
        write(name + ".TRC", sent);
        Process sim({ZINDRA_CLI, "simulate", path(name + ".TRC"), "--baud", "921600"}, path("sim.out"),
                    path("sim.err"));
        const std::string pty = sim.firstLine();
        if (pty.empty()) return -1;
        Process tr = save ? trace(pty, path(name))
                          : Process({ZINDRA_CLI, "trace", "--port", pty, "--record", path("rec")},
                                    path("tr.out"), path("tr.err"));
        std::this_thread::sleep_for(wait);
        tr.signal(SIGINT);
        const int status = tr.wait();
        sim.signal(SIGINT);
        return sim.wait() == 0 ? status : -1;
    }
    std::string sent;
    Process trace(const std::string& port, const std::string& base) const {
        return Process({ZINDRA_CLI, "trace", "--port", port, "--save", base}, path("tr.out"), path("tr.err"));
    }
    // A FAT that replies UGM and sends two telegrams; the trace is ended by
    // Ctrl-C once they are in.
    int goodTrace(const std::string& base) const {
        FakeFat fat;
        Process tr = trace(fat.name, base);
        if (!fat.await("\nTRACEON")) return -1;
        fat.send("UGM\r\n" + UgmTelegram + UgmTelegram);
        std::this_thread::sleep_for(500ms);
        tr.signal(SIGINT);
        return tr.wait(5s);
    }
};

TEST_F(TraceSave, EverythingThatArrivedBeforeCtrlCIsSavedAtFullSpeed) {
    // 19,000 bytes at 921,600 baud arrive within a quarter second, far faster
    // than one 80-byte read per notification takes them in.
    EXPECT_EQ(simulatedTrace("fast", 19'000, 3s), 0) << readAll(path("tr.err"));
    EXPECT_EQ(readAll(path("fast.TRC")), sent);
    EXPECT_EQ(readAll(path("tr.out")), runCli({"replay", path("fast.TRC")}).out);
}

TEST_F(TraceSave, TargetIsCheckedBeforeThePortOpens) {
    FakeFat fat;
    // A missing folder, and a base name that is a folder.
    for (const auto& [base, status] :
         {std::pair{path("missing/site"), 1}, {dir.string() + "/", 2}, {dir.string(), 2}}) {
        Process tr = trace(fat.name, base);
        EXPECT_EQ(tr.wait(5s), status) << base;
        EXPECT_NE(readAll(path("tr.err"))
                      .find(status == 1 ? "Cannot create " + path("missing/site.TRC") : "not the folder"),
                  std::string::npos)
            << readAll(path("tr.err"));
    }
    EXPECT_FALSE(fat.await("\nTRACEON", 300ms));  // the port was never opened
    EXPECT_FALSE(fs::exists(dir / ".TRC"));
    EXPECT_FALSE(fs::exists(dir / ".dat"));
}

TEST_F(TraceSave, EachFileIsTriedAndTheWrittenOnesAreNamed) {
    // The .dat goes to a full disk; the .TRC before it and the .DA1 after it
    // are still written.
    fs::create_symlink("/dev/full", path("site.dat"));
    EXPECT_EQ(goodTrace(path("site")), 1);
    const std::string err = readAll(path("tr.err"));
    EXPECT_NE(err.find("Cannot write " + path("site.dat") + ": No space left on device"), std::string::npos)
        << err;
    EXPECT_NE(err.find("written: " + path("site.TRC") + ", " + path("site.DA1") + "\n"), std::string::npos)
        << err;
    EXPECT_EQ(readAll(path("site.TRC")), "UGM\r\n" + UgmTelegram + UgmTelegram);
    EXPECT_FALSE(readAll(path("site.DA1")).empty());
}

TEST_F(TraceSave, AFailedTraceKeepsTheGoodFiles) {
    ASSERT_EQ(goodTrace(path("site")), 0) << readAll(path("tr.err"));
    const std::string trc = readAll(path("site.TRC"));
    const std::string dat = readAll(path("site.dat"));
    const std::string da1 = readAll(path("site.DA1"));
    ASSERT_EQ(trc, "UGM\r\n" + UgmTelegram + UgmTelegram);
    // A FAT that never answers (Ctrl-C before anything came), and one whose
    // reply names no panel type.
    for (const std::string reply : {"", "NOPE\r\n"}) {
        FakeFat fat;
        Process tr = trace(fat.name, path("site"));
        ASSERT_TRUE(fat.await("\nTRACEON"));
        if (reply.empty()) {
            tr.signal(SIGINT);
        } else {
            fat.send(reply);
        }
        EXPECT_EQ(tr.wait(5s), 3);
        EXPECT_EQ(readAll(path("site.TRC")), trc);
        EXPECT_EQ(readAll(path("site.dat")), dat);
        EXPECT_EQ(readAll(path("site.DA1")), da1);
    }
}

TEST_F(TraceSave, ReachingTheCaptureLimitIsTold) {
    EXPECT_EQ(simulatedTrace("big", 24'000, 2s), 0);
    EXPECT_NE(readAll(path("tr.err")).find("the capture is full"), std::string::npos);
    const std::string saved = readAll(path("big.TRC"));
    // Whole chunks until the next one no longer fits, then (as the capture
    // takes any later chunk that fits) perhaps a few short ones.
    EXPECT_LT(saved.size(), 20'000u);
    ASSERT_GE(saved.size(), 19'920u);
    EXPECT_EQ(saved.substr(0, 19'920), sent.substr(0, 19'920));

    // A recording keeps every byte: the limit of the .TRC file is not said.
    EXPECT_EQ(simulatedTrace("rec", 24'000, 2s, false), 0);
    EXPECT_EQ(readAll(path("tr.err")).find("the capture is full"), std::string::npos)
        << readAll(path("tr.err"));
}

}  // namespace
}  // namespace zindra::cli
