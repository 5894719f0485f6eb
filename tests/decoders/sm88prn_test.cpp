#include <gtest/gtest.h>

#include "support/decoder_harness.h"

namespace zindra::decoders {
namespace {

using testing::bytes;

std::vector<DecoderOutput> run(const std::string& data) {
    DecoderState st;
    auto dec = makeSm88PrnDecoder();
    return testing::shown(testing::feed(*dec, st, data));
}

TEST(Sm88Prn, HeadInHexRestAsText) {
    const auto out = run(bytes({2}) + "12ALARM" + bytes({3, 'A', 3, 2, 0xFD, 0x1B, 0xFD, 0x1B, 3}));
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[0].textLine, "<STX> 31 32 ALARM 03 ");
    EXPECT_EQ(out[0].hexLine, " 02 31 32 41 4C 41 52 4D 03");
    EXPECT_EQ(out[1].textLine, "41 ");
    EXPECT_EQ(out[2].textLine, "<ETX> ");
    EXPECT_EQ(out[3].textLine, "<STX> .<NAK> 1B . 15 \x1B 03 ");
    EXPECT_EQ(out[3].hexLine, " 02 .15 1B .15 1B 03");
}

TEST(Sm88Prn, EtxNamedOnlyAbovePosition60) {
    auto out =
        run(bytes({2}) + std::string(59, 'a') + bytes({3}) + bytes({2}) + std::string(60, 'a') + bytes({3}));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].textLine, "<STX> 61 61 " + std::string(57, 'a') + " 03 ");
    EXPECT_EQ(out[1].textLine, "<STX> 61 61 " + std::string(58, 'a') + "<ETX> ");
}

TEST(Sm88Prn, HundredthByteClosesAndTheHexSpillsIntoTheHeader) {
    DecoderState st;
    auto dec = makeSm88PrnDecoder();
    EXPECT_TRUE(testing::shown(testing::feed(*dec, st, bytes({2}) + std::string(98, 'L'))).empty());
    const auto calls = testing::feed(*dec, st, "L");
    const auto out = testing::shown(calls);
    ASSERT_EQ(out.size(), 1u);
    std::string hex = " 02";
    for (int i = 0; i < 99; ++i) hex += " 4C";
    EXPECT_EQ(out[0].hexHeader, hex.substr(0, 240));
    EXPECT_EQ(out[0].hexLine, hex.substr(240));
    EXPECT_EQ(out[0].textLine, "<STX> 4C 4C " + std::string(97, 'L'));
    EXPECT_EQ(calls.back().out.hexHeader, "");  // not shown a second time
}

}  // namespace
}  // namespace zindra::decoders
