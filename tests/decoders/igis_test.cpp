#include <gtest/gtest.h>

#include "support/decoder_harness.h"

namespace zindra::decoders {
namespace {

using testing::bytes;
using testing::feed;

TEST(IgisTest, OneByteEachCallWithTwoRemappedValues) {
    const auto decoder = makeIgisDecoder();
    DecoderState state;
    const auto calls = feed(*decoder, state, bytes({0x41, 0xF0, 0x70, 0x02, 0x08, 0x88, 0x0A, 0x00, 0xFF, 0x30}));
    ASSERT_EQ(calls.size(), 11u);
    const char* text[] = {"41 ", ". 08 ", ". 88 ", "02 ", "08 ", "88 ", "0A ", "00 ", "FF ", "30 "};
    const char* hex[] = {" 41", " .08", " .88", " 02", " 08", " 88", " 0A", " 00", " FF", " 30"};
    for (std::size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(calls[i].out.textLine, text[i]) << i;
        EXPECT_EQ(calls[i].out.hexLine, hex[i]) << i;
        EXPECT_EQ(calls[i].out.eventLine, "");
        EXPECT_TRUE(calls[i].moreData);
    }
    EXPECT_EQ(calls[10].out.textLine, "");
    EXPECT_EQ(calls[10].out.hexLine, "");
    EXPECT_FALSE(calls[10].moreData);
}

TEST(IgisTest, FrameStateIsLeftAlone) {
    const auto decoder = makeIgisDecoder();
    DecoderState state;
    state.inFrame = true;
    state.frameLength = 7;
    state.frameBuffer[1] = 0x55;
    feed(*decoder, state, bytes({0x02, 0x03}));
    EXPECT_TRUE(state.inFrame);
    EXPECT_EQ(state.frameLength, 7);
    EXPECT_EQ(state.frameBuffer[0], 0x03);
    EXPECT_EQ(state.frameBuffer[1], 0x55);
}

}  // namespace
}  // namespace zindra::decoders
