#include <gtest/gtest.h>

#include "support/decoder_harness.h"

namespace zindra::decoders {
namespace {

TEST(IgisTest, OneByteEachCallWithTwoRemappedValues) {
    const auto decoder = makeIgisDecoder();
    DecoderState st;
    st.inFrame = true;
    st.frameLength = 7;
    const auto calls = testing::feed(*decoder, st, testing::bytes({0x41, 0xF0, 0x70, 0x02, 0x88}));
    ASSERT_EQ(calls.size(), 6u);
    const char* text[] = {"41 ", ". 08 ", ". 88 ", "02 ", "88 ", ""};
    const char* hex[] = {" 41", " .08", " .88", " 02", " 88", ""};
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(calls[i].out.textLine, text[i]) << i;
        EXPECT_EQ(calls[i].out.hexLine, hex[i]) << i;
        EXPECT_EQ(calls[i].out.eventLine, "");
        EXPECT_EQ(calls[i].moreData, i < 5);
    }
    EXPECT_TRUE(st.inFrame);
    EXPECT_EQ(st.frameLength, 7);
}

}  // namespace
}  // namespace zindra::decoders
