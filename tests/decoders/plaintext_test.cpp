#include <gtest/gtest.h>

#include "decoders/registry.h"
#include "support/decoder_harness.h"

namespace zindra::decoders {
namespace {

using testing::bytes;
using testing::feed;

TEST(PlainText, LineByLineAndTheRestWhenTheRingRunsDry) {
    DecoderState st;
    auto dec = makePlainTextDecoder();
    const auto calls = feed(*dec, st, "AB\r\nCD");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].out.textLine, "AB\r\n");
    EXPECT_EQ(calls[0].out.hexLine, " 41 42 0D 0A");
    EXPECT_TRUE(calls[0].moreData);
    EXPECT_EQ(calls[1].out.textLine, "CD");
    EXPECT_EQ(calls[1].out.hexLine, " 43 44");
    EXPECT_FALSE(calls[1].moreData);
    for (const auto& c : calls) {
        EXPECT_EQ(c.out.eventLine, "");
        EXPECT_EQ(c.out.textHeader, "");
        EXPECT_EQ(c.out.hexHeader, "");
    }
}

TEST(PlainText, HighBytesAsHexControlBytesRaw) {
    DecoderState st;
    auto dec = makePlainTextDecoder();
    auto calls = feed(*dec, st, bytes({'A', 0xC4, 'B', 0x1B, 0x7F}));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].out.textLine, "AC4 B\x1B\x7F");
    EXPECT_EQ(calls[0].out.hexLine, " 41 C4 42 1B 7F");

    calls = feed(*dec, st, "\n");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].out.textLine, "\n");
    EXPECT_EQ(calls[0].out.hexLine, " 0A");
    EXPECT_EQ(calls[1].out.hexLine, "");  // the ring is empty now
    EXPECT_FALSE(calls[1].moreData);
}

TEST(PlainText, LeavesTheFrameStateAlone) {
    DecoderState st;
    st.inFrame = true;
    st.frameLength = 7;
    auto dec = makePlainTextDecoder();
    feed(*dec, st, "XY\nZ");
    EXPECT_TRUE(st.inFrame);
    EXPECT_EQ(st.frameLength, 7);
}

}  // namespace
}  // namespace zindra::decoders
