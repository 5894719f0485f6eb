#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "events/time_text.h"
#include "recording/recorder.h"
#include "support/run_cli.h"
#ifndef _WIN32
#include <pty.h>

#include "support/process.h"
#endif

namespace zindra::cli {
namespace {

namespace fs = std::filesystem;
using testing::runCli;

const std::string Sample = std::string(ZINDRA_SAMPLES_DIR) + "/sdn.TRC";
const std::string Usage =
    "usage: zindra-cli replay [--protocol REPLY] [--pane text|hex|event|all] FILE\n"
    "       zindra-cli replay [--timestamps] [--pane text|hex|event|all] RECORDING-FOLDER\n"
    "       zindra-cli replay [--protocol REPLY] --format csv|jsonl|pcapng [--output FILE] "
    "FILE|RECORDING-FOLDER\n";

std::string cannotWrite(const std::string& path, const char* reason) {
    std::string m = "zindra-cli: cannot write ";
    m.append(path).append(": ").append(reason).append("\n");
    return m;
}

// The message names the file and the system's reason (whose words differ
// on Windows).
void expectCannotWrite(const std::string& err, const std::string& path, const char* posixReason) {
#ifdef _WIN32
    (void)posixReason;
    const std::string start = cannotWrite(path, "");
    EXPECT_EQ(err.substr(0, start.size() - 1), start.substr(0, start.size() - 1)) << err;
    EXPECT_GT(err.size(), start.size()) << err;
#else
    EXPECT_EQ(err, cannotWrite(path, posixReason));
#endif
}

struct CliExport : ::testing::Test {
    fs::path dir = fs::temp_directory_path() / ("zindra-exporttest-" + std::to_string(::getpid()));
    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(CliExport, OptionsThatDoNotFitTogetherAreUsageErrors) {
    for (const auto& r : {runCli({"replay", "--format", "xml", Sample}),
                          runCli({"replay", "--format", "csv", "--pane", "hex", Sample}),
                          runCli({"replay", "--output", (dir / "x.csv").string(), Sample}),
                          runCli({"replay", "--format", "csv", "--timestamps", Sample}),
                          runCli({"replay", "--format", "csv"})}) {
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, Usage);
    }
    EXPECT_TRUE(entries().empty());
}

TEST_F(CliExport, AFileIsCompleteUnderItsNameOrNotThereAtAll) {
    const fs::path out = dir / "night.jsonl";
    const auto ok = runCli({"replay", "--format", "jsonl", "--output", out.string(), Sample});
    EXPECT_EQ(ok.status, 0);
    EXPECT_EQ(ok.out, "");
    EXPECT_EQ(ok.err, "");
    EXPECT_EQ(testing::readAll(out), runCli({"replay", "--format", "jsonl", Sample}).out);
    EXPECT_EQ(entries(), std::vector<std::string>{"night.jsonl"});

    // A place that cannot be written: the reason, and nothing left behind.
    const std::string underFile = (out / "x.csv").string();
    const auto notDir = runCli({"replay", "--format", "csv", "--output", underFile, Sample});
    EXPECT_EQ(notDir.status, 1);
    expectCannotWrite(notDir.err, underFile, "Not a directory");
    // A folder in the way is found only at the rename, after the whole export.
    fs::create_directory(dir / "taken.csv");
    const auto folder =
        runCli({"replay", "--format", "csv", "--output", (dir / "taken.csv").string(), Sample});
    EXPECT_EQ(folder.status, 1);
    expectCannotWrite(folder.err, (dir / "taken.csv").string(), "Is a directory");
    EXPECT_TRUE(fs::is_empty(dir / "taken.csv"));
    // An input that cannot be read leaves no output either.
    const auto missing = runCli({"replay", "--format", "pcapng", "--output", (dir / "m.pcapng").string(),
                                 (dir / "missing.TRC").string()});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(entries(), (std::vector<std::string>{"night.jsonl", "taken.csv"}));
}

// A recording's events carry the times their chunks were read, in every format.
TEST_F(CliExport, ARecordingExportsItsRecordedTimes) {
    constexpr std::int64_t T0 = 1'765'000'000'000'000;
    const std::string telegram =
        "\x02"
        "01:504030023\x03Z";
    std::string folder;
    {
        recording::Recorder rec({dir.string(), "COM1", "Zindra test"}, T0);
        folder = rec.folder();
        const auto chunk = [&](const std::string& bytes, std::int64_t t) {
            rec.onChunk(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), t);
        };
        chunk("SDN\r\n", T0);
        chunk(telegram, T0 + 1'500'000);
        chunk(telegram, T0 + 3'000'123);
        rec.finish("Stopp", T0 + 4'000'000);
    }
    const auto csv = runCli({"replay", "--format", "csv", folder});
    EXPECT_EQ(csv.status, 0) << csv.err;
    const std::string line =
        "SDN;;1234;3;;;;Alarm;  1234       03    Alarm;;02 30 31 3A 35 30 34 30 33 30 30 32 33 03 5A\r\n";
    EXPECT_EQ(csv.out,
              std::string("\xEF\xBB\xBFZeit;Protokoll;Vorzahl;Linie;Melder;Code;Hex;Zusatz;Zustand;Ereignis;"
                          "Drucktext;Telegramm\r\n") +
                  events::isoTime(T0 + 1'500'000) + ";" + line + events::isoTime(T0 + 3'000'123) + ";" +
                  line);
    // pcapng: each packet's time is its chunk's (microseconds since 1970).
    const fs::path pcap = dir / "r.pcapng";
    ASSERT_EQ(runCli({"replay", "--format", "pcapng", "--output", pcap.string(), folder}).status, 0);
    const std::string bytes = testing::readAll(pcap);
    const auto u32 = [&](std::size_t at) {
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = v << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
        return v;
    };
    std::vector<std::int64_t> times;
    for (std::size_t at = 0; at + 12 <= bytes.size(); at += u32(at + 4)) {
        if (u32(at) == 6)
            times.push_back(static_cast<std::int64_t>(std::uint64_t{u32(at + 12)} << 32 | u32(at + 16)));
        if (u32(at + 4) == 0) break;
    }
    EXPECT_EQ(times, (std::vector<std::int64_t>{T0 + 1'500'000, T0 + 3'000'123}));
}

#ifndef _WIN32
TEST_F(CliExport, PcapngIsNotWrittenToATerminal) {
    int master = -1;
    int slave = -1;
    char name[256] = {};
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    const std::string err = (dir / "err").string();
    testing::Process binary({ZINDRA_CLI, "replay", "--format", "pcapng", Sample}, name, err);
    EXPECT_EQ(binary.wait(), 2);
    EXPECT_EQ(testing::readAll(err),
              "zindra-cli: pcapng is binary and not for a terminal: give --output FILE or redirect standard "
              "output\n");
    // Text formats are fine on a terminal.
    testing::Process text({ZINDRA_CLI, "replay", "--format", "csv", Sample}, name, err);
    EXPECT_EQ(text.wait(), 0);
    EXPECT_EQ(testing::readAll(err), "");
    ::close(slave);
    ::close(master);
}
#endif

}  // namespace
}  // namespace zindra::cli
