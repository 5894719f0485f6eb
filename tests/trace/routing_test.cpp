#include <gtest/gtest.h>

#include "trace/routing.h"

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
    for (int i = 0; i < 600; ++i) f.route("line of many chars " + std::to_string(i), " 01 02 03", std::to_string(i));
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
