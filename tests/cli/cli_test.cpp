#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/run_cli.h"

namespace zindra::cli {
namespace {

namespace fs = std::filesystem;
using testing::runCli;

struct CliReplay : ::testing::Test {
    fs::path dir = fs::temp_directory_path() / ("zindra-clitest-" + std::to_string(::getpid()));
    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(dir, fs::perms::owner_all, ec);
        fs::remove_all(dir, ec);
    }
    std::string write(const std::string& name, const std::string& content) {
        const fs::path p = dir / name;
        std::ofstream(p, std::ios::binary) << content;
        return p.string();
    }
    static long lines(const std::string& s) {
        return static_cast<long>(std::count(s.begin(), s.end(), '\n'));
    }
};

TEST_F(CliReplay, DefaultDecoderPanes) {
    const std::string f = write("a.TRC",
                                "UNBEKANNT\r\n\x02"
                                "123456789ABCDE"
                                "Z");
    const auto hex = runCli({"replay", "--pane", "hex", f});
    EXPECT_EQ(hex.status, 0);
    EXPECT_EQ(hex.err, "");
    EXPECT_EQ(hex.out,
              "UNBEKANNT\r\n\x02"
              "123456789ABCDEZ\n"
              " 55 4E 42 45 4B 41 4E 4E 54 0D 0A\n"
              " 02 31 32 33 34 35 36 37 38 39 41 42 43 44 45\n"
              " 5A\n");
    const auto text = runCli({"replay", "--pane", "text", f});
    EXPECT_EQ(text.out,
              "55 4E 42 45 4B 41 4E 4E 54 0D 0A \n"
              "<STX> 123456789 41 42 43 44 45 \n"
              "5A \n");
    const auto event = runCli({"replay", f});
    EXPECT_EQ(event.status, 0);
    EXPECT_EQ(event.out, "");
}

TEST_F(CliReplay, AllWritesTheThreePanesUnderHeadings) {
    const std::string f = write("b.TRC", "UNBEKANNT\r\nA");
    const auto r = runCli({"replay", "--pane", "all", f});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "--- hex ---\nUNBEKANNT\r\nA\n 55 4E 42 45 4B 41 4E 4E 54 0D 0A 41\n"
              "--- text ---\n55 4E 42 45 4B 41 4E 4E 54 0D 0A 41 \n"
              "--- event ---\n");
}

TEST_F(CliReplay, ProtocolOptionDecodesFromTheFirstByte) {
    const std::string f = write("c.TRC", "AB");
    const auto r = runCli({"replay", "--protocol", "UNBEKANNT", "--pane", "hex", f});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, " 41 42\n");
    const auto bad = runCli({"replay", "--protocol", "NOPE", "--pane", "hex", f});
    EXPECT_EQ(bad.status, 3);
    EXPECT_EQ(bad.out, "");
    EXPECT_EQ(lines(bad.err), 1);
    EXPECT_NE(bad.err.find("NOPE"), std::string::npos);
}

TEST_F(CliReplay, UsageErrors) {
    for (const auto& r :
         {runCli({}), runCli({"replay"}), runCli({"replay", "--pane", "xyz", "f"}),
          runCli({"replay", "--bogus", "f"}), runCli({"frobnicate"}), runCli({"replay", "a", "b"})}) {
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("usage"), std::string::npos);
        EXPECT_EQ(r.out, "");
    }
}

TEST_F(CliReplay, UnreadableInputsExitOneWithOneLine) {
    const auto missing = runCli({"replay", (dir / "missing.TRC").string()});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(lines(missing.err), 1);
    EXPECT_NE(missing.err.find("missing.TRC"), std::string::npos);
    EXPECT_NE(missing.err.find("No such file or directory"), std::string::npos);

    const auto directory = runCli({"replay", "--pane", "all", dir.string()});
    EXPECT_EQ(directory.status, 1);
    EXPECT_EQ(directory.out, "");
    EXPECT_EQ(lines(directory.err), 1);
    // A folder that holds no recording is said to be none, on Windows as well.
    EXPECT_EQ(directory.err, "zindra-cli: " + dir.string() +
                                 " is not a recording folder: it has neither manifest.txt nor 0001.TRC\n");

#ifndef _WIN32
    if (::geteuid() != 0) {  // root reads anything
        const std::string f = write("locked.TRC", "UGM\r\n");
        fs::permissions(f, fs::perms::none);
        const auto locked = runCli({"replay", f});
        EXPECT_EQ(locked.status, 1);
        EXPECT_NE(locked.err.find("Permission denied"), std::string::npos);
    }
#endif
}

TEST_F(CliReplay, NoReplyLineExitsThree) {
    for (const std::string& content : {std::string(), std::string("AB\n"), std::string("UGM")}) {
        const auto r = runCli({"replay", "--pane", "hex", write("n.TRC", content)});
        EXPECT_EQ(r.status, 3);
        EXPECT_EQ(lines(r.err), 1);
        EXPECT_NE(r.err.find("no complete reply line"), std::string::npos);
        EXPECT_EQ(r.out, "");
    }
}

TEST_F(CliReplay, UnmatchedReplyExitsThreeQuotingIt) {
    const auto r = runCli({"replay", "--pane", "hex", write("u.TRC", "algorex\r\nA")});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(lines(r.err), 1);
    EXPECT_NE(r.err.find("\"algorex\""), std::string::npos);
    EXPECT_EQ(r.out, "algorex\r\nA\n");  // the panes as they stand
}

TEST_F(CliReplay, LargeFileIsStreamed) {
    // 12 MB of stray bytes after the reply: the hex pane is one long line of
    // three characters per byte; the event pane stays empty.
    const fs::path p = dir / "big.TRC";
    {
        std::ofstream out(p, std::ios::binary);
        out << "UNBEKANNT\r\n";
        const std::string block(1 << 20, 'A');
        for (int i = 0; i < 12; ++i) out << block;
    }
    const auto r = runCli({"replay", p.string()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
}

}  // namespace
}  // namespace zindra::cli
