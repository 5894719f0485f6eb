#include <gtest/gtest.h>

#include "support/decoder_harness.h"

namespace zindra::decoders {
namespace {

TEST(PlainText, LineByLineThenWhatHasArrived) {
    DecoderState st;
    st.inFrame = true;
    st.frameLength = 7;
    auto dec = makePlainTextDecoder();
    const auto calls = testing::feed(*dec, st,
                                     "AB\r\n\nA\xC4"
                                     "B\x1B\x7F");
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].out.textLine, "AB\r\n");
    EXPECT_EQ(calls[0].out.hexLine, " 41 42 0D 0A");
    EXPECT_TRUE(calls[0].moreData);
    EXPECT_EQ(calls[1].out.textLine, "\n");
    EXPECT_EQ(calls[1].out.hexLine, " 0A");
    EXPECT_EQ(calls[2].out.textLine, "AC4 B\x1B\x7F");
    EXPECT_EQ(calls[2].out.hexLine, " 41 C4 42 1B 7F");
    EXPECT_FALSE(calls[2].moreData);
    for (const auto& c : calls) EXPECT_EQ(c.out.eventLine + c.out.textHeader + c.out.hexHeader, "");
    EXPECT_TRUE(st.inFrame);  // no frames: the shared frame state is left alone
    EXPECT_EQ(st.frameLength, 7);
}

}  // namespace
}  // namespace zindra::decoders
