#include <gtest/gtest.h>

#include "support/decoder_harness.h"

namespace zindra::decoders {
namespace {

using testing::bytes;
using testing::feed;
using testing::shown;

TEST(EsserTest, Telegrams) {
    const auto decoder = makeEsserDecoder();
    DecoderState st;
    const auto out = shown(feed(*decoder, st, bytes({0x1C, 0x41, 0x42, 0x54, 0x07,  // plain
                                                     0x04, 0x3C, 0x07,              // short
                                                     0x04, 0x41, 0x04, 0x3C, 0x07,  // long
                                                     0x1C, 0x41, 0x41, 0x54, 0x1C,  // repeat
                                                     0x3C, 0x00})));                // stray
    ASSERT_EQ(out.size(), 6u);
    const char* text[] = {"<STX> 41 42 <ETX> 07 ", ".<STX> .<ETX> 07 ", "04 41 04 3C 07 ",
                          "<STX> 41 <ETX> 1C ",    ".<ETX> ",           ""};
    const char* hex[] = {" 1C 41 42 54 07", " . 1C . 54 07", " 04 41 04 3C 07",
                         " 1C 41 41 54 1C", " . 54",         " 00"};
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(out[i].textLine, text[i]) << i;
        EXPECT_EQ(out[i].hexLine, hex[i]) << i;
        EXPECT_EQ(out[i].eventLine, "");
    }
}

TEST(EsserTest, Limits) {
    const auto decoder = makeEsserDecoder();
    DecoderState st;
    EXPECT_TRUE(shown(feed(*decoder, st, "\x1C" + std::string(126, '0'))).empty());
    EXPECT_EQ(st.frameLength, 127);
    auto out = shown(feed(*decoder, st, "1"));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].textLine, "<STX> 30 31 ");
    EXPECT_EQ(out[0].hexLine.size(), 128u * 3);

    // Frames taken over from another decoder: nothing stored yet, and longer
    // than a telegram may be.
    st.inFrame = true;
    st.frameLength = 0;
    out = shown(feed(*decoder, st, bytes({0x54, 0x07})));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].hexLine, " 54 07");
    st.inFrame = true;
    st.frameLength = 200;
    out = shown(feed(*decoder, st, "A"));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].hexLine.size(), 201u * 3);
}

}  // namespace
}  // namespace zindra::decoders
