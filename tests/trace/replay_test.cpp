#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "trace/recording_ui.h"
#include "trace/replay.h"

namespace zindra::trace {
namespace {

namespace fs = std::filesystem;

struct ReplayFixture : ::testing::Test {
    MemoryPane text, hex, event;
    Panes panes{text, hex, event};
    RecordingUi ui;
    TraceSession session{panes, ui};
    fs::path dir = fs::temp_directory_path() / ("zindra-replay-" + std::to_string(::getpid()));

    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override { fs::remove_all(dir); }

    std::string write(const std::string& name, const std::string& content) {
        const fs::path p = dir / name;
        std::ofstream(p, std::ios::binary) << content;
        return p.string();
    }
};

TEST_F(ReplayFixture, ShortFileIsIdentifiedAndItsRestShown) {
    session.clear();
    replayFile(session, write("a.TRC", "UNBEKANNT\r\nAB"));
    EXPECT_EQ(ui.panelCaption, "  nicht aktiv  ");  // Stopp at the end
    EXPECT_FALSE(session.running());
    EXPECT_TRUE(ui.errors.empty());
    // The reply's own bytes and the rest, through the default decoder.
    ASSERT_EQ(hex.lines().size(), 2u);
    EXPECT_EQ(hex.lines()[0], "UNBEKANNT\r\nAB");
    EXPECT_EQ(hex.lines()[1], " 55 4E 42 45 4B 41 4E 4E 54 0D 0A 41 42");
    EXPECT_TRUE(session.state().ringEmpty());
    EXPECT_EQ(session.capture().count(), 0);  // replayed bytes are not captured
}

TEST_F(ReplayFixture, ReadsEightyByteChunksAndProcessesEventsBetweenThem) {
    session.clear();
    std::string content = "UNBEKANNT\r\n" + std::string(200, 'A');
    int events = 0;
    replayFile(session, write("b.TRC", content), [&] { ++events; });
    EXPECT_EQ(events, 3);  // 211 bytes: 80 + 80 + 51
    ASSERT_EQ(hex.lines().size(), 2u);
    EXPECT_EQ(hex.lines()[0].size(), 80u);
    EXPECT_EQ(hex.lines()[1].size(), 211u * 3);
}

TEST_F(ReplayFixture, StoppDuringTheReplayEndsTheLoop) {
    session.clear();
    std::string content = "UNBEKANNT\r\n" + std::string(800, 'A');
    int events = 0;
    replayFile(session, write("c.TRC", content), [&] {
        if (++events == 3) session.stopp();
    });
    EXPECT_EQ(events, 3);
    EXPECT_FALSE(session.running());
}

TEST_F(ReplayFixture, ReplayingTwiceIdentifiesBothTimes) {
    const std::string path = write("d.TRC", "UNBEKANNT\r\nAB");
    replayFile(session, path);
    replayFile(session, path);
    EXPECT_TRUE(ui.errors.empty());
    EXPECT_EQ(session.identOutcome(), IdentOutcome::Matched);
}

TEST_F(ReplayFixture, NoReplyLineCollectsAndStopps) {
    replayFile(session, write("e.TRC", "AB\n"));
    EXPECT_TRUE(hex.lines().empty());
    EXPECT_FALSE(session.running());
    EXPECT_NE(session.identOutcome(), IdentOutcome::Matched);
    EXPECT_TRUE(ui.errors.empty());
}

TEST_F(ReplayFixture, UnknownReplyEndsWithTheIdentificationError) {
    replayFile(session, write("f.TRC", "NOPE\r\n" + std::string(300, 'A')));
    EXPECT_EQ(ui.errors.size(), 1u);
    EXPECT_EQ(session.identOutcome(), IdentOutcome::Unmatched);
    EXPECT_EQ(hex.lines().size(), 1u);  // the loop ended at the next chunk
}

TEST_F(ReplayFixture, MissingFileRaisesAndLeavesTheReplayStarted) {
    EXPECT_THROW(replayFile(session, (dir / "missing.TRC").string()), std::system_error);
    EXPECT_TRUE(session.running());
    EXPECT_TRUE(session.awaitingIdent());
}

}  // namespace
}  // namespace zindra::trace
