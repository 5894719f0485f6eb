#include <gtest/gtest.h>

#include "decoders/registry.h"
#include "support/decoder_harness.h"

namespace zindra::decoders {
namespace {

using testing::bytes;
using testing::feed;
using testing::shown;

// A 17-byte telegram (L = 0x0E) with number A in positions 9-13, B at 14.
std::string telegram(std::uint8_t type, std::uint8_t state7, std::uint8_t state15,
                     std::initializer_list<int> numberA, std::uint8_t numberB) {
    std::string t(17, '\0');
    t[0] = '\x02';
    t[1] = '\x0E';
    t[3] = static_cast<char>(type);
    t[7] = static_cast<char>(state7);
    std::size_t pos = 9;
    for (int v : numberA) t[pos++] = static_cast<char>(v);
    t[14] = static_cast<char>(numberB);
    t[15] = static_cast<char>(state15);
    t[16] = '\x5A';
    return t;
}

std::string eventOf(const std::string& frame) {
    DecoderState st;
    auto dec = makeSm88Decoder();
    const auto out = shown(feed(*dec, st, frame));
    EXPECT_EQ(out.size(), 1u);
    return out.empty() ? std::string("<nothing shown>") : out[0].eventLine;
}

TEST(Sm88, AlarmTelegramInHexOnlyWithItsEvent) {
    DecoderState st;
    auto dec = makeSm88Decoder();
    const auto out = shown(feed(*dec, st, telegram(0x11, 0, 0x01, {0x00, 0x00, 0x01, 0x23, 0x45}, 0x07)));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].hexLine, " 02 0E 00 11 00 00 00 00 00 00 00 01 23 45 07 01 5A");
    EXPECT_EQ(out[0].textLine, "");
    EXPECT_EQ(out[0].textHeader, "");
    EXPECT_EQ(out[0].hexHeader, "");
    EXPECT_EQ(out[0].eventLine, " 12345       07    Alarm");
    EXPECT_FALSE(st.inFrame);
}

TEST(Sm88, StateWordsAndTelegramsWithoutOne) {
    EXPECT_EQ(eventOf(telegram(0x11, 0, 0x00, {0, 0, 0, 0, 0x05}, 0x12)), "   005       12    Ruhe");
    EXPECT_EQ(eventOf(telegram(0x11, 0, 0x08, {0, 0, 0, 0, 0x05}, 0x12)), "   005       12    St\xF6rung");
    EXPECT_EQ(eventOf(telegram(0x13, 0x01, 0, {0, 0, 0, 0, 0x05}, 0x12)), "   005       12    Linie aus");
    EXPECT_EQ(eventOf(telegram(0x13, 0x04, 0, {0, 0, 0, 0, 0x05}, 0x12)), "   005       12    Linie ein");
    EXPECT_EQ(eventOf(telegram(0x11, 0, 0x02, {0, 0, 0, 0, 0x05}, 0x12)), "");
    EXPECT_EQ(eventOf(telegram(0x12, 0x01, 0x01, {0, 0, 0, 0, 0x05}, 0x12)), "");
}

TEST(Sm88, NumberACountsEveryNibbleAndWrapsSigned) {
    // Six digits or more: no leading spaces.
    EXPECT_EQ(eventOf(telegram(0x11, 0, 1, {0x00, 0x00, 0x12, 0x34, 0x56}, 0x99)), "123456       99    Alarm");
    // Nibbles above 9 count with their value: 0xFF is 165.
    EXPECT_EQ(eventOf(telegram(0x11, 0, 1, {0, 0, 0, 0, 0xFF}, 0xFF)), "   165      165    Alarm");
    // 2147483648 wraps to the most negative 32-bit value.
    EXPECT_EQ(eventOf(telegram(0x11, 0, 1, {0x21, 0x47, 0x48, 0x36, 0x48}, 0x01)),
              "-2147483648       01    Alarm");
    // 99 * 10^8 + ... = 9999999999 wraps to 1410065407.
    EXPECT_EQ(eventOf(telegram(0x11, 0, 1, {0x99, 0x99, 0x99, 0x99, 0x99}, 0x01)),
              "1410065407       01    Alarm");
}

TEST(Sm88, LengthByteZeroGivesThreeByteTelegram) {
    DecoderState st;
    auto dec = makeSm88Decoder();
    EXPECT_TRUE(shown(feed(*dec, st, bytes({0x02, 0x00}))).empty());
    EXPECT_TRUE(st.inFrame);
    const auto out = shown(feed(*dec, st, bytes({0x07, 0x41})));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].hexLine, " 02 00 07");
    EXPECT_EQ(out[1].hexLine, " 41");  // stray byte after the telegram
    EXPECT_EQ(out[1].textLine, "");
    EXPECT_EQ(out[1].eventLine, "");
}

TEST(Sm88, RemappedByteDoesNotEndTheTelegram) {
    DecoderState st;
    auto dec = makeSm88Decoder();
    const auto out = shown(feed(*dec, st, bytes({0x02, 0x02, 0xEB, 0x03, 0x00})));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].hexLine, " 02 02 .03 03 00");
}

TEST(Sm88, OverlongLengthClosesAtAFullBuffer) {
    DecoderState st;
    auto dec = makeSm88Decoder();
    std::string t(300, '\x11');
    t[0] = '\x02';
    t[1] = '\xFF';  // announces 258 bytes
    const auto calls = feed(*dec, st, t);
    const auto out = shown(calls);
    ASSERT_EQ(out.size(), 1u + 44u);  // the 256-byte telegram, then 44 stray bytes
    EXPECT_EQ(out[0].hexLine.size(), 256u * 3u);
    EXPECT_EQ(out[0].hexLine.substr(0, 9), " 02 FF 11");
    EXPECT_EQ(out[1].hexLine, " 11");
    EXPECT_FALSE(st.inFrame);
}

TEST(Sm88, FrameTakenOverWithoutStxNearItsStart) {
    DecoderState st;
    auto dec = makeSm88Decoder();
    st.inFrame = true;
    st.frameBuffer.fill(0x41);
    st.frameBuffer[1] = 0x05;
    st.frameLength = 2;
    auto out = shown(feed(*dec, st, bytes({0x41, 0x41, 0x41, 0x41, 0x41, 0x41})));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].eventLine, "");  // no STX in positions 0..20

    // An STX beyond the searched positions: the frame cannot be placed.
    st.inFrame = true;
    st.frameBuffer.fill(0x41);
    st.frameBuffer[1] = 0x05;
    st.frameBuffer[10] = 0x02;
    st.frameLength = 2;
    out = shown(feed(*dec, st, bytes({0x41, 0x41, 0x41, 0x41, 0x41, 0x41})));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].eventLine, "Problem bei der Auswertung");
}

}  // namespace
}  // namespace zindra::decoders
