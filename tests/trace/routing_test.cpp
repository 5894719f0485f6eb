#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "trace/routing.h"
#include "trace/session.h"

namespace zindra::trace {
namespace {

struct Fixture {
    MemoryPane text, hex, event;
    Panes panes{text, hex, event};
    RoutingFlags flags;
    RoutingLimits limits;

    void route(const std::string& textLine, const std::string& hexLine, const std::string& eventLine = "",
               const std::string& textHeader = "", const std::string& hexHeader = "") {
        decoders::DecoderOutput out;
        out.textLine = textLine;
        out.hexLine = hexLine;
        out.eventLine = eventLine;
        out.textHeader = textHeader;
        out.hexHeader = hexHeader;
        routeOutput(out, panes, flags, limits);
    }
};

TEST(Routing, SingleBytesExtendTheLastLinesWhenFlagsAreFalse) {
    Fixture f;
    f.text.addLine("x");
    f.hex.addLine("y");
    f.route("41 ", " 41");
    f.route("42 ", " 42");
    f.route("43 ", " 43");
    ASSERT_EQ(f.text.lines().size(), 1u);
    EXPECT_EQ(f.text.lines()[0], "x41 42 43 ");
    EXPECT_EQ(f.hex.lines()[0], "y 41 42 43");
}

TEST(Routing, InAnEmptyPaneTheFirstPieceBecomesTheFirstLine) {
    Fixture f;
    f.route("41 ", " 41");
    EXPECT_EQ(f.text.lines(), std::deque<std::string>{"41 "});
    EXPECT_EQ(f.hex.lines(), std::deque<std::string>{" 41"});
}

TEST(Routing, JoinThresholdsThirteenAndFive) {
    Fixture f;
    f.text.addLine("a");
    f.hex.addLine("b");
    f.route(std::string(13, 'T'), std::string(5, 'H'));  // joined
    ASSERT_EQ(f.text.lines().size(), 1u);
    ASSERT_EQ(f.hex.lines().size(), 1u);
    f.route(std::string(14, 'T'), std::string(6, 'H'));  // lines of their own
    ASSERT_EQ(f.text.lines().size(), 2u);
    ASSERT_EQ(f.hex.lines().size(), 2u);
    EXPECT_TRUE(f.flags.textStartNewLine);
    EXPECT_TRUE(f.flags.hexStartNewLine);
    // The first single byte after a frame starts a fresh line, the next joins it.
    f.route("41 ", " 41");
    f.route("42 ", " 42");
    EXPECT_EQ(f.text.lines().back(), "41 42 ");
    EXPECT_EQ(f.hex.lines().back(), " 41 42");
    EXPECT_FALSE(f.flags.textStartNewLine);
}

TEST(Routing, HeadersGoOnLinesOfTheirOwnAndAnEmptyTextLineStillAddsALine) {
    Fixture f;
    f.route("", " 41", "", "HEAD", "HHEAD");
    EXPECT_EQ(f.text.lines(), (std::deque<std::string>{"HEAD", ""}));
    EXPECT_EQ(f.hex.lines(), (std::deque<std::string>{"HHEAD", " 41"}));
}

TEST(Routing, NothingShownWithoutHexLineOrHexHeader) {
    Fixture f;
    f.route("text", "", "event");
    EXPECT_TRUE(f.text.lines().empty());
    EXPECT_TRUE(f.event.lines().empty());
}

TEST(Routing, EmptyTextLineLeavesTheTextPaneAlone) {
    Fixture f;
    f.route("", " 41 42 43", "E");
    EXPECT_TRUE(f.text.lines().empty());
    EXPECT_EQ(f.event.lines(), std::deque<std::string>{"E"});
}

TEST(Routing, PaneLimits) {
    Fixture f;
    for (int i = 0; i < 600; ++i)
        f.route("line of many chars " + std::to_string(i), " 01 02 03", std::to_string(i));
    // Cut back to 500 before each update: 501 after the last one.
    EXPECT_EQ(f.text.lines().size(), 501u);
    EXPECT_EQ(f.hex.lines().size(), 501u);
    EXPECT_EQ(f.event.lines().size(), 101u);
    EXPECT_EQ(f.event.lines().front(), "499");
    EXPECT_EQ(f.event.lines().back(), "599");
}

TEST(Routing, UnlimitedKeepsEverything) {
    Fixture f;
    f.limits = RoutingLimits::unlimited();
    for (int i = 0; i < 700; ++i) f.route("line of many chars", " 01 02 03", "e");
    EXPECT_EQ(f.text.lines().size(), 700u);
    EXPECT_EQ(f.event.lines().size(), 700u);
}

}  // namespace
}  // namespace zindra::trace

namespace zindra::trace {
namespace {

struct Collected {
    std::string line;
    std::optional<std::int64_t> numberA;
    ChunkTime time;
};

struct Collector final : EventListener {
    std::vector<Collected> got;
    void onEvent(const decoders::EventRecord& r, ChunkTime time) override {
        got.push_back({r.line, r.numberA, time});
    }
};

// A UGM session fed the same chunks, with or without a listener.
struct UgmSession {
    MemoryPane text, hex, event;
    Panes panes{text, hex, event};
    NullUi ui;
    TraceSession session{panes, ui, RoutingLimits::unlimited()};
    UgmSession() { session.identifyReply("UGM"); }
    void feed(const std::string& s, ChunkTime t) {
        session.receiveChunk(reinterpret_cast<const std::uint8_t*>(s.data()), s.size(), t);
    }
};

TEST(RoutingListeners, RecordsCarryTheTimeOfTheCompletingChunkAndPanesStayAsTheyAre) {
    const std::string telegram =
        "\x02"
        "00"
        "123"
        "41"
        "0000"
        "07"
        "\x03"
        "Z";
    UgmSession with, without;
    Collector first, second;
    with.session.eventListeners().add(first);
    with.session.eventListeners().add(second);
    for (UgmSession* s : {&with, &without}) {
        s->feed("x" + telegram.substr(0, 9), 1000);
        s->feed(telegram.substr(9) + "y", 2000);
        s->feed(telegram, std::nullopt);
    }
    ASSERT_EQ(first.got.size(), 2u);
    EXPECT_EQ(first.got[0].line, "   786       07       65    41");
    EXPECT_EQ(first.got[0].numberA, 786);
    EXPECT_EQ(first.got[0].time, 2000);  // the chunk that completed it, not the one that began it
    EXPECT_EQ(first.got[1].time, std::nullopt);
    EXPECT_EQ(second.got.size(), 2u);
    EXPECT_EQ(with.text.lines(), without.text.lines());
    EXPECT_EQ(with.hex.lines(), without.hex.lines());
    EXPECT_EQ(with.event.lines(), without.event.lines());

    // A removed listener hears nothing more; the others go on.
    with.session.eventListeners().remove(first);
    with.feed(telegram, 3000);
    EXPECT_EQ(first.got.size(), 2u);
    ASSERT_EQ(second.got.size(), 3u);
    EXPECT_EQ(second.got[2].time, 3000);
}

}  // namespace
}  // namespace zindra::trace
