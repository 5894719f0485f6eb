#include <gtest/gtest.h>

#include "support/decoder_harness.h"

namespace zindra::decoders {
namespace {

TEST(Hsb180, LinesGoToTheHexPaneWithCrAndLfVisible) {
    DecoderState st;
    auto dec = makeHsb180Decoder();
    EXPECT_TRUE(testing::shown(testing::feed(*dec, st, "ALARM")).empty());
    const auto out = testing::shown(testing::feed(*dec, st, " 12\r\n\r\n\nAB\n\x02\xC4\n"));
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[0].hexLine, "ALARM 12 CR LF");
    EXPECT_EQ(out[0].textLine + out[0].eventLine, "");
    EXPECT_EQ(out[1].hexLine, " CR LF");
    EXPECT_EQ(out[2].hexLine, " LFAB LF");  // the opening LF does not close the line
    EXPECT_EQ(out[3].hexLine, "\x02\xC4 LF");
}

TEST(Hsb180, LineWithoutLineFeedIsShownWhenTheBufferIsFull) {
    DecoderState st;
    auto dec = makeHsb180Decoder();
    const auto out = testing::shown(testing::feed(*dec, st, std::string(300, 'z') + "\n"));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].hexLine, std::string(256, 'z'));
    EXPECT_EQ(out[1].hexLine, std::string(44, 'z') + " LF");
}

}  // namespace
}  // namespace zindra::decoders
