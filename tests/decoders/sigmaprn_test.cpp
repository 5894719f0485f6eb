#include <gtest/gtest.h>

#include "support/decoder_harness.h"

namespace zindra::decoders {
namespace {

using testing::bytes;

TEST(SigmaPrn, LinesAndStrayBytes) {
    DecoderState st;
    auto dec = makeSigmaPrnDecoder();
    const auto out = testing::shown(testing::feed(
        *dec, st, bytes({0x02, 'A', 'B', 'C', 0x03, 0x02, 0x03, 0x06, 0x02, 'A', 'B', 0xFD, 0x03})));
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[0].textLine, "<STX> 41 42 C 03 ");
    EXPECT_EQ(out[0].hexLine, " 02 41 42 43 03");
    EXPECT_EQ(out[1].textLine, "<STX> <ETX> ");  // an ETX in the head is named and ends the line
    EXPECT_EQ(out[2].textLine, "<ACK> ");
    EXPECT_EQ(out[3].textLine, "<STX> 41 42 . 15 03 ");
    EXPECT_EQ(out[3].hexLine, " 02 41 42 .15 03");
}

TEST(SigmaPrn, HundredByteLineNamesItsTailAndSplitsTheHex) {
    DecoderState st;
    auto dec = makeSigmaPrnDecoder();
    const std::string first99 = bytes({0x02}) + std::string(96, 'x') + bytes({4, 0x10});
    EXPECT_TRUE(testing::shown(testing::feed(*dec, st, first99)).empty());
    const auto calls = testing::feed(*dec, st, bytes({0xFD}));  // the 100th byte closes it
    const auto out = testing::shown(calls);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].textLine, "<STX> 78 78 " + std::string(94, 'x') + "<EOT> <DLE> .<NAK> ");
    EXPECT_EQ(out[0].hexHeader.size(), 240u);
    EXPECT_EQ(out[0].hexLine.substr(48), " 78 04 10 .15");
    EXPECT_EQ(calls.back().out.hexHeader, "");  // not shown a second time
}

}  // namespace
}  // namespace zindra::decoders
