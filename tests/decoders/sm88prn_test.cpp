#include <gtest/gtest.h>

#include "decoders/registry.h"
#include "support/decoder_harness.h"

namespace zindra::decoders {
namespace {

using testing::bytes;
using testing::feed;
using testing::shown;

std::vector<DecoderOutput> run(const std::string& data) {
    DecoderState st;
    auto dec = makeSm88PrnDecoder();
    return shown(feed(*dec, st, data));
}

TEST(Sm88Prn, HeadInHexRestAsText) {
    const auto out = run(bytes({0x02}) + "12ALARM" + bytes({0x03}));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].textLine, "<STX> 31 32 ALARM 03 ");
    EXPECT_EQ(out[0].hexLine, " 02 31 32 41 4C 41 52 4D 03");
    EXPECT_EQ(out[0].eventLine, "");
}

TEST(Sm88Prn, EtxNamedOnlyAbovePosition60) {
    auto out = run(bytes({0x02}) + std::string(59, 'a') + bytes({0x03}));  // ETX at 60
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].textLine, "<STX> 61 61 " + std::string(57, 'a') + " 03 ");
    out = run(bytes({0x02}) + std::string(60, 'a') + bytes({0x03}));  // ETX at 61
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].textLine, "<STX> 61 61 " + std::string(58, 'a') + "<ETX> ");
}

TEST(Sm88Prn, NakAndEscapeInHeadAndBody) {
    auto out = run(bytes({0x02, 0xFD, 0x1B, 0xFD, 0x1B, 0x03}));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].textLine, "<STX> .<NAK> 1B . 15 \x1B 03 ");
    EXPECT_EQ(out[0].hexLine, " 02 .15 1B .15 1B 03");
}

TEST(Sm88Prn, StrayBytesRenderedAtPositionZero) {
    const auto out = run(bytes({'A', 0x03}));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].textLine, "41 ");
    EXPECT_EQ(out[0].hexLine, " 41");
    EXPECT_EQ(out[1].textLine, "<ETX> ");
}

TEST(Sm88Prn, HundredthByteClosesAndLongHexSpillsIntoHeader) {
    DecoderState st;
    auto dec = makeSm88PrnDecoder();
    EXPECT_TRUE(shown(feed(*dec, st, bytes({0x02}) + std::string(98, 'L'))).empty());
    EXPECT_TRUE(st.inFrame);
    const auto calls = feed(*dec, st, "L");
    const auto out = shown(calls);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].hexHeader, " 02" + [] {
        std::string s;
        for (int i = 0; i < 79; ++i) s += " 4C";
        return s;
    }());
    EXPECT_EQ(out[0].hexLine.size(), 60u);
    EXPECT_EQ(out[0].textHeader, "");
    EXPECT_EQ(out[0].textLine, "<STX> 4C 4C " + std::string(97, 'L'));
    EXPECT_EQ(calls.back().out.hexHeader, "");
    EXPECT_FALSE(st.inFrame);
}

}  // namespace
}  // namespace zindra::decoders
