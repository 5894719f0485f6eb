#include <gtest/gtest.h>

#include "support/decoder_harness.h"

namespace zindra::decoders {
namespace {

using testing::bytes;
using testing::feed;
using testing::shown;

std::string telegram(int kind, int first, int second, int qualifier) {
    return bytes({0x10, 1, 2, 3, 4, 5, kind, 7, first, second, qualifier, 11, 12, 13, 14, 15});
}

TEST(ZetfasTest, StrayBytesInHexOnly) {
    const auto decoder = makeZetfasDecoder();
    DecoderState st;
    const auto calls = feed(*decoder, st, bytes({0x41, 0xEB, 0xF0, 0xF1, 0xF2}));
    ASSERT_EQ(calls.size(), 6u);
    const char* hex[] = {" 41", " .03", " .08", " F1", " .0A", ""};
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(calls[i].out.hexLine, hex[i]);
        EXPECT_EQ(calls[i].out.textLine + calls[i].out.eventLine, "");
        EXPECT_EQ(calls[i].moreData, i < 5);
    }
}

TEST(ZetfasTest, TelegramsAndEventLines) {
    const auto decoder = makeZetfasDecoder();
    DecoderState st;
    std::string t = telegram(0x80, 5, 7, 0x01);
    t[3] = 0x10;  // a DLE inside a telegram is data
    EXPECT_TRUE(shown(feed(*decoder, st, t.substr(0, 9))).empty());
    auto out = shown(feed(*decoder, st, t.substr(9)));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].hexLine, " 10 01 02 10 04 05 80 07 05 07 01 0B 0C 0D 0E 0F");
    EXPECT_EQ(out[0].textLine, "");
    EXPECT_EQ(out[0].eventLine, "   005       07    Alarm");

    EXPECT_EQ(shown(feed(*decoder, st, telegram(0x90, 12, 3, 0xFF)))[0].eventLine,
              "   012       03    St\xF6r Ruhe");
    EXPECT_EQ(shown(feed(*decoder, st, telegram(0x80, 200, 150, 0xFF)))[0].eventLine,
              "   200      150    Ruhe");
    EXPECT_EQ(shown(feed(*decoder, st, telegram(0xB2, 5, 7, 0xFE)))[0].eventLine,
              "   005       07    Linie aus");
    EXPECT_EQ(shown(feed(*decoder, st, telegram(0xB2, 5, 7, 0x01)))[0].eventLine, "   005       07    ");
}

// Frames taken over from another decoder close at the length in their own
// first byte, or when the buffer is full.
TEST(ZetfasTest, InheritedFrames) {
    const auto decoder = makeZetfasDecoder();
    DecoderState st;
    st.inFrame = true;
    st.frameBuffer[0] = 0x08;
    st.frameBuffer[1] = 0x10;
    st.frameLength = 2;
    auto out = shown(feed(*decoder, st, std::string(6, '\x08')));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].hexLine, " 08 10 08 08 08 08 08 08");
    EXPECT_EQ(out[0].eventLine, "Problem bei der Auswertung");  // too short to search

    // First byte 3 never matches: closed at 256 bytes, the DLE at position 5
    // is moved to the front on a copy.
    st.inFrame = true;
    st.frameBuffer[0] = 0x03;
    st.frameLength = 1;
    std::string more(300, '\0');
    more.replace(4, 11, bytes({0x10, 0, 0, 0, 0, 0, 0x80, 0, 42, 1, 0x01}));
    out = shown(feed(*decoder, st, more));
    ASSERT_EQ(out.size(), 1u + 45u);
    EXPECT_EQ(out[0].hexLine.size(), 256u * 3);
    EXPECT_EQ(out[0].eventLine, "   042       01    Alarm");
    EXPECT_EQ(st.frameBuffer[5], 0x10);
    EXPECT_FALSE(st.inFrame);
}

}  // namespace
}  // namespace zindra::decoders
