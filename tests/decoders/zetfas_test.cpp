#include <gtest/gtest.h>

#include "support/decoder_harness.h"

namespace zindra::decoders {
namespace {

using testing::bytes;
using testing::feed;
using testing::shown;

// A DLE telegram with the kind byte, the two numbers and the qualifier.
std::string telegram(int kind, int first, int second, int qualifier) {
    return bytes({0x10, 0x01, 0x02, 0x03, 0x04, 0x05, kind, 0x07, first, second, qualifier, 0x0B, 0x0C,
                  0x0D, 0x0E, 0x0F});
}

class ZetfasTest : public ::testing::Test {
protected:
    std::unique_ptr<Decoder> decoder = makeZetfasDecoder();
    DecoderState state;
};

TEST_F(ZetfasTest, StrayBytesAreShownInHexOnly) {
    const auto calls = feed(*decoder, state, bytes({0x41, 0xEB, 0xF0, 0xF1, 0xF2}));
    ASSERT_EQ(calls.size(), 6u);
    const char* hex[] = {" 41", " .03", " .08", " F1", " .0A"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(calls[i].out.hexLine, hex[i]);
        EXPECT_EQ(calls[i].out.textLine, "");
        EXPECT_EQ(calls[i].out.eventLine, "");
        EXPECT_TRUE(calls[i].moreData);
    }
    EXPECT_FALSE(calls[5].moreData);
    EXPECT_EQ(calls[5].out.hexLine, "");
}

TEST_F(ZetfasTest, TelegramClosesWithSixteenthByte) {
    const auto calls = shown(feed(*decoder, state, telegram(0x80, 5, 7, 0x01)));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].hexLine, " 10 01 02 03 04 05 80 07 05 07 01 0B 0C 0D 0E 0F");
    EXPECT_EQ(calls[0].textLine, "");
    EXPECT_EQ(calls[0].eventLine, "   005       07    Alarm");
    EXPECT_FALSE(state.inFrame);
}

TEST_F(ZetfasTest, StateTextsAndColumns) {
    struct Case {
        int kind, first, second, qualifier;
        const char* line;
    };
    const Case cases[] = {
        {0x90, 12, 3, 0xFF, "   012       03    St\xF6r Ruhe"},
        {0x90, 12, 3, 0x01, "   012       03    St\xF6rung"},
        {0x80, 200, 150, 0xFF, "   200      150    Ruhe"},
        {0xB2, 5, 7, 0x02, "   005       07    Linie ein"},
        {0xB2, 5, 7, 0xFE, "   005       07    Linie aus"},
        {0xB2, 5, 7, 0x01, "   005       07    "},
        {0x81, 0, 0, 0x01, "   000       00    "},
    };
    for (const Case& c : cases) {
        const auto calls = shown(feed(*decoder, state, telegram(c.kind, c.first, c.second, c.qualifier)));
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].eventLine, c.line);
    }
}

TEST_F(ZetfasTest, DleInsideTelegramIsDataAndSplitTelegramIsDecodedWhole) {
    std::string t = telegram(0x80, 5, 7, 0x01);
    t[3] = 0x10;
    auto calls = feed(*decoder, state, t.substr(0, 9));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_FALSE(calls[0].moreData);
    EXPECT_EQ(calls[0].out.hexLine, "");
    EXPECT_TRUE(state.inFrame);
    EXPECT_EQ(state.frameLength, 9);

    const auto rest = shown(feed(*decoder, state, t.substr(9)));
    ASSERT_EQ(rest.size(), 1u);
    EXPECT_EQ(rest[0].hexLine, " 10 01 02 10 04 05 80 07 05 07 01 0B 0C 0D 0E 0F");
    EXPECT_EQ(rest[0].eventLine, "   005       07    Alarm");
}

// A frame taken over from another decoder keeps its own first byte as the
// length to reach.
TEST_F(ZetfasTest, InheritedFrameClosesAtItsFirstByteValue) {
    state.inFrame = true;
    state.frameBuffer[0] = 0x08;
    state.frameBuffer[1] = 0x10;
    state.frameLength = 2;
    // Closes with its 8th byte; the DLE at position 1 is too early to be found
    // by the search (8 - 15 < 1).
    std::string more = bytes({0x08, 0x08, 0x08, 0x08, 0x08, 0x08});
    const auto calls = shown(feed(*decoder, state, more));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].hexLine, " 08 10 08 08 08 08 08 08");
    EXPECT_EQ(calls[0].eventLine, "Problem bei der Auswertung");
}

TEST_F(ZetfasTest, InheritedFrameIsShiftedToItsDle) {
    state.inFrame = true;
    state.frameBuffer[0] = 0x11;  // 17 bytes
    state.frameLength = 1;
    // DLE at position 1, then a telegram body: shifted down by one.
    const auto calls = shown(feed(*decoder, state, telegram(0x90, 9, 8, 0x01)));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].eventLine, "   009       08    St\xF6rung");
}

TEST_F(ZetfasTest, InheritedFrameThatNeverMatchesClosesWhenBufferIsFull) {
    state.inFrame = true;
    state.frameBuffer[0] = 0x03;  // below 6: never meets the close test
    state.frameLength = 1;
    const auto calls = shown(feed(*decoder, state, std::string(300, '\x41')));
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls[0].hexLine.size(), 256u * 3);
    EXPECT_EQ(calls[0].eventLine, "");  // no DLE in the first 21 positions
    EXPECT_FALSE(state.inFrame);
    // The 45 bytes after the full frame are stray bytes.
    EXPECT_EQ(calls.size(), 1u + 45u);
}

TEST_F(ZetfasTest, FullInheritedFrameWithLateDleIsDecodedWithoutOverrun) {
    state.inFrame = true;
    state.frameBuffer[0] = 0x03;
    state.frameLength = 1;
    // A DLE at position 5 (within the first 21) and telegram fields after it.
    std::string more(255, '\x00');
    more[4] = 0x10;
    more[4 + 6] = static_cast<char>(0x80);
    more[4 + 8] = 42;
    more[4 + 9] = 1;
    more[4 + 10] = 0x01;
    const auto calls = shown(feed(*decoder, state, more));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].eventLine, "   042       01    Alarm");
    EXPECT_EQ(state.frameBuffer[5], 0x10);  // the shift works on a copy
}

}  // namespace
}  // namespace zindra::decoders
