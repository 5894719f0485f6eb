#include <gtest/gtest.h>

#include "support/decoder_harness.h"

namespace zindra::decoders {
namespace {

using testing::bytes;
using testing::feed;
using testing::shown;

class EsserTest : public ::testing::Test {
protected:
    std::unique_ptr<Decoder> decoder = makeEsserDecoder();
    DecoderState state;

    std::vector<DecoderOutput> run(const std::string& in) { return shown(feed(*decoder, state, in)); }
};

TEST_F(EsserTest, TelegramWithMarkersNamed) {
    const auto calls = run(bytes({0x1C, 0x41, 0x42, 0x54, 0x07}));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].textLine, "<STX> 41 42 <ETX> 07 ");
    EXPECT_EQ(calls[0].hexLine, " 1C 41 42 54 07");
    EXPECT_EQ(calls[0].eventLine, "");
}

TEST_F(EsserTest, ShortRenderingsShowAlternativeMarkersAsUsualOnes) {
    auto calls = run(bytes({0x04, 0x3C, 0x07}));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].textLine, ".<STX> .<ETX> 07 ");
    EXPECT_EQ(calls[0].hexLine, " . 1C . 54 07");

    // A stray 0x3C is rendered alone, so remapped too.
    calls = run(bytes({0x3C, 0x41}));
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].textLine, ".<ETX> ");
    EXPECT_EQ(calls[0].hexLine, " . 54");
    EXPECT_EQ(calls[1].textLine, "41 ");
    EXPECT_EQ(calls[1].hexLine, " 41");
}

TEST_F(EsserTest, LongRenderingsShowAlternativeMarkersAsReceived) {
    const auto calls = run(bytes({0x04, 0x41, 0x04, 0x3C, 0x07, 0x1C, 0x54, 0x1C}));
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].textLine, "04 41 04 3C 07 ");
    EXPECT_EQ(calls[0].hexLine, " 04 41 04 3C 07");
    // The closing byte after 0x54 is not named.
    EXPECT_EQ(calls[1].textLine, "<STX> <ETX> 1C ");
}

TEST_F(EsserTest, RepeatedByteIsLeftOutOfText) {
    const auto calls = run(bytes({0x1C, 0x41, 0x41, 0x54, 0x07}));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].textLine, "<STX> 41 <ETX> 07 ");
    EXPECT_EQ(calls[0].hexLine, " 1C 41 41 54 07");
}

TEST_F(EsserTest, TelegramWithoutEndMarkerClosesAt128) {
    auto calls = feed(*decoder, state, "\x1C" + std::string(126, '\x30'));
    EXPECT_TRUE(shown(calls).empty());
    EXPECT_TRUE(state.inFrame);
    EXPECT_EQ(state.frameLength, 127);
    const auto rest = run("\x31");
    ASSERT_EQ(rest.size(), 1u);
    EXPECT_EQ(rest[0].hexLine.size(), 128u * 3);
    EXPECT_EQ(rest[0].textLine, "<STX> 30 31 ");
    EXPECT_FALSE(state.inFrame);
}

TEST_F(EsserTest, SplitTelegramIsShownOnceWhenComplete) {
    auto calls = feed(*decoder, state, bytes({0x1C, 0x41}));
    EXPECT_TRUE(shown(calls).empty());
    EXPECT_FALSE(calls.back().moreData);
    const auto rest = run(bytes({0x54, 0x07}));
    ASSERT_EQ(rest.size(), 1u);
    EXPECT_EQ(rest[0].hexLine, " 1C 41 54 07");
}

// FILNET leaves a frame open with nothing stored yet.
TEST_F(EsserTest, InheritedEmptyFrameDoesNotLookBeforeTheBuffer) {
    state.inFrame = true;
    state.frameLength = 0;
    const auto calls = run(bytes({0x54, 0x07}));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].hexLine, " 54 07");
}

TEST_F(EsserTest, InheritedLongFrameClosesWithNextByte) {
    state.inFrame = true;
    state.frameLength = 200;
    const auto calls = run("A");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].hexLine.size(), 201u * 3);
    EXPECT_FALSE(state.inFrame);
}

}  // namespace
}  // namespace zindra::decoders
