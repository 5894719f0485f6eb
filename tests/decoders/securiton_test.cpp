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
    auto dec = makeSecuritonDecoder();
    return shown(feed(*dec, st, data));
}

TEST(Securiton, LinesEndWithLineFeed) {
    auto out = run("FEUER 12\r\n");
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].textLine, "FEUER 12 0D 0A ");
    EXPECT_EQ(out[0].hexLine, " 46 45 55 45 52 20 31 32 0D 0A");
    EXPECT_EQ(out[0].eventLine, "");

    // An LF that opens a line does not close it.
    out = run("\nAB\n");
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].textLine, "0A AB 0A ");
    EXPECT_EQ(out[0].hexLine, " 0A 41 42 0A");
}

TEST(Securiton, NoNamesRemappedBytesMarked) {
    const auto out = run(bytes({'A', 0xE9, 0x02, 0xFD, 0x1A, 0x1B, 0x1F, 0x7F, 0x80, 0x0A}));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].textLine, "A. 01 02 . 15 \x1A\x1B\x1F\x7F 80 0A ");
    EXPECT_EQ(out[0].hexLine, " 41 .01 02 .15 1A 1B 1F 7F 80 0A");
}

TEST(Securiton, HundredthByteClosesAndLongHexSpillsIntoHeader) {
    DecoderState st;
    auto dec = makeSecuritonDecoder();
    EXPECT_TRUE(shown(feed(*dec, st, std::string(99, 'x'))).empty());
    const auto calls = feed(*dec, st, "x");
    const auto out = shown(calls);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].hexHeader.size(), 240u);
    EXPECT_EQ(out[0].hexHeader.substr(0, 6), " 78 78");
    EXPECT_EQ(out[0].hexLine.size(), 60u);
    EXPECT_EQ(out[0].textLine, std::string(100, 'x'));
    EXPECT_EQ(out[0].textHeader, "");
    EXPECT_EQ(calls.back().out.hexHeader, "");
    EXPECT_FALSE(calls.back().moreData);
}

}  // namespace
}  // namespace zindra::decoders
