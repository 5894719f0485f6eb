#include <gtest/gtest.h>

#include "support/decoder_harness.h"

namespace zindra::decoders {
namespace {

using testing::bytes;

TEST(Securiton, LinesEndWithLineFeedAndNameNothing) {
    DecoderState st;
    auto dec = makeSecuritonDecoder();
    const auto out = testing::shown(testing::feed(
        *dec, st, "FEUER 12\r\n\nAB\n" + bytes({'A', 0xE9, 2, 0xFD, 0x1A, 0x1B, 0x1F, 0x7F, 0x80, 0x0A})));
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0].textLine, "FEUER 12 0D 0A ");
    EXPECT_EQ(out[0].hexLine, " 46 45 55 45 52 20 31 32 0D 0A");
    EXPECT_EQ(out[1].textLine, "0A AB 0A ");  // an LF that opens a line does not close it
    EXPECT_EQ(out[2].textLine, "A. 01 02 . 15 \x1A\x1B\x1F\x7F 80 0A ");
    EXPECT_EQ(out[2].hexLine, " 41 .01 02 .15 1A 1B 1F 7F 80 0A");
}

TEST(Securiton, HundredthByteClosesAndTheHexSpillsIntoTheHeader) {
    DecoderState st;
    auto dec = makeSecuritonDecoder();
    EXPECT_TRUE(testing::shown(testing::feed(*dec, st, std::string(99, 'x'))).empty());
    const auto calls = testing::feed(*dec, st, "x");
    const auto out = testing::shown(calls);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].hexHeader.size(), 240u);
    EXPECT_EQ(out[0].hexLine.size(), 60u);
    EXPECT_EQ(out[0].textLine, std::string(100, 'x'));
    EXPECT_EQ(calls.back().out.hexHeader, "");  // not shown a second time
}

}  // namespace
}  // namespace zindra::decoders
