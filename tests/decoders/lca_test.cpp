#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "decoders/registry.h"
#include "support/decoder_harness.h"

namespace zindra::decoders {
namespace {

using testing::bytes;

struct Lca : ::testing::Test {
    std::unique_ptr<Decoder> dec = makeLcaDecoder();
    DecoderState st;
    std::vector<DecoderOutput> run(std::string_view b) { return testing::shown(testing::feed(*dec, st, b)); }
};

TEST_F(Lca, TelegramsInPairModeStrayBytesSingly) {
    const auto s = run(bytes({0x41, 0x01, 0x0A, 0x02, 0x0B, 0x03, 0x0C, 0x10}));
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[0].textLine, "41 ");
    EXPECT_EQ(s[0].hexLine, " 41");
    EXPECT_EQ(s[1].textLine, "1A 2B 3C       ");
    EXPECT_EQ(s[1].hexLine, " 01 0A 02 0B 03 0C      ");
    EXPECT_EQ(s[1].eventLine, "");
    EXPECT_EQ(s[2].textLine, "10 ");
}

TEST_F(Lca, HighNibblesOnlyInHexAndLowBytesAreData) {
    const auto s = run(bytes({0x01, 0x02, 0x31, 0x42, 0x05, 0x06}));
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].textLine, "12 12 56       ");
    EXPECT_EQ(s[0].hexLine, " 01 02 31 42 05 06      ");
}

TEST_F(Lca, InheritedFramesKeepTheirFirstBytesMode) {
    // Begun by an EBL-like decoder: single mode.
    st.frameBuffer[0] = 0xA1;
    st.frameBuffer[1] = '8';
    st.frameLength = 2;
    st.inFrame = true;
    auto s = run(bytes({0x01, 0x02, 0x03, 0x04}));
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].textLine, "A1 38 01 02 03 04       ");

    // Already past six bytes: closes with the next one, shown whole; the odd
    // last byte has no pair.
    st.frameLength = 8;
    st.frameBuffer[0] = 0x02;
    st.inFrame = true;
    s = run(bytes({0x0F}));
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].hexLine, " 02 38 01 02 03 04 00 00      ");
    EXPECT_EQ(s[0].textLine, "28 12 34 00       ");
}

}  // namespace
}  // namespace zindra::decoders
