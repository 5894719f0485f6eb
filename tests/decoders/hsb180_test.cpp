#include <gtest/gtest.h>

#include "decoders/registry.h"
#include "support/decoder_harness.h"

namespace zindra::decoders {
namespace {

using testing::bytes;
using testing::feed;
using testing::shown;

TEST(Hsb180, LinesGoToTheHexPaneWithCrAndLfVisible) {
    DecoderState st;
    auto dec = makeHsb180Decoder();
    const auto out = shown(feed(*dec, st, "ALARM 12\r\n\r\n\nAB\n" + bytes({0x02, 0xC4, 0x0A})));
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[0].hexLine, "ALARM 12 CR LF");
    EXPECT_EQ(out[0].textLine, "");
    EXPECT_EQ(out[0].eventLine, "");
    EXPECT_EQ(out[1].hexLine, " CR LF");
    EXPECT_EQ(out[2].hexLine, " LFAB LF");  // the opening LF does not close the line
    EXPECT_EQ(out[3].hexLine, "\x02\xC4 LF");
}

TEST(Hsb180, LineCompletedAcrossCalls) {
    DecoderState st;
    auto dec = makeHsb180Decoder();
    const auto first = feed(*dec, st, "FEU");
    ASSERT_EQ(first.size(), 1u);
    EXPECT_FALSE(first[0].moreData);
    EXPECT_EQ(first[0].out.hexLine, "");
    const auto out = shown(feed(*dec, st, "ER\n"));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].hexLine, "FEUER LF");
}

TEST(Hsb180, LineWithoutLineFeedIsShownWhenTheBufferIsFull) {
    DecoderState st;
    auto dec = makeHsb180Decoder();
    const auto out = shown(feed(*dec, st, std::string(300, 'z') + "\n"));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].hexLine, std::string(256, 'z'));
    EXPECT_EQ(out[1].hexLine, std::string(44, 'z') + " LF");
}

}  // namespace
}  // namespace zindra::decoders
