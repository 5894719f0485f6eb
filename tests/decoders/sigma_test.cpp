#include <gtest/gtest.h>

#include "decoders/registry.h"
#include "support/decoder_harness.h"

namespace zindra::decoders {
namespace {

using testing::bytes;
using testing::feed;
using testing::shown;

// A telegram of n bytes (L = n - 2) with type, state and the BCD bytes of
// positions 30-35; the other bytes are zero.
std::string telegram(std::size_t n, std::uint8_t type, std::uint8_t state, std::initializer_list<int> bcd) {
    std::string t(n, '\0');
    t[0] = '\x02';
    t[1] = static_cast<char>(n - 2);
    t[9] = static_cast<char>(type);
    t[10] = static_cast<char>(state);
    std::size_t pos = 30;
    for (int v : bcd) t[pos++] = static_cast<char>(v);
    return t;
}

std::vector<DecoderOutput> run(const std::string& data) {
    DecoderState st;
    auto dec = makeSigmaDecoder();
    return shown(feed(*dec, st, data));
}

std::string eventOf(const std::string& frame) {
    const auto out = run(frame);
    EXPECT_EQ(out.size(), 1u);
    return out.empty() ? std::string("<nothing shown>") : out[0].eventLine;
}

TEST(Sigma, EventLinesFromBcdTextsAndStateWords) {
    EXPECT_EQ(eventOf(telegram(38, 0x11, 0x01, {0xFF, 0xFF, 0xF1, 0x23, 0x45, 0x07})), " 12345       07    Alarm");
    EXPECT_EQ(eventOf(telegram(38, 0x11, 0x00, {0, 0, 0, 0, 0x42, 0x10})), "   042       10    Ruhe");
    EXPECT_EQ(eventOf(telegram(38, 0x11, 0x08, {0, 0, 0, 0, 0x42, 0x10})), "   042       10    St\xF6rung");
    EXPECT_EQ(eventOf(telegram(38, 0x13, 0x01, {0, 0, 0, 0, 0x42, 0x10})), "   042       10    Abschaltung");
    EXPECT_EQ(eventOf(telegram(38, 0x13, 0x04, {0, 0, 0, 0, 0x42, 0x10})), "   042       10    Einschaltung");
    EXPECT_EQ(eventOf(telegram(38, 0x12, 0x01, {0, 0, 0, 0, 0x42, 0x10})), "");
    EXPECT_EQ(eventOf(telegram(38, 0x11, 0x02, {0, 0, 0, 0, 0x42, 0x10})), "");
    // Filler only reads 0; ten digits keep their true value.
    EXPECT_EQ(eventOf(telegram(38, 0x11, 0x01, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xAB})), "   000       00    Alarm");
    EXPECT_EQ(eventOf(telegram(38, 0x11, 0x01, {0x99, 0x99, 0x99, 0x99, 0x99, 0x99})), "9999999999       99    Alarm");
    EXPECT_EQ(eventOf(telegram(38, 0x11, 0x01, {0x21, 0x47, 0x48, 0x36, 0x48, 0xF5})), "2147483648       05    Alarm");
}

TEST(Sigma, LengthByteZeroGivesTwoByteTelegram) {
    const auto out = run(bytes({0x02, 0x00, 0x41}));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].textLine, "<STX> 00 ");
    EXPECT_EQ(out[0].hexLine, " 02 00");
    EXPECT_EQ(out[1].textLine, "41 ");
}

TEST(Sigma, StrayBytesLoseBitSevenAndAreNamed) {
    const auto out = run(bytes({0x82, 0x06, 0xC1}));
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0].textLine, ".<STX> ");
    EXPECT_EQ(out[0].hexLine, " .02");
    EXPECT_EQ(out[1].textLine, "<ACK> ");
    EXPECT_EQ(out[2].textLine, ". 41 ");
    EXPECT_EQ(out[2].hexLine, " .41");
}

TEST(Sigma, NamesOnlyAmongFirstTwoAndLastTwoBytes) {
    // STX, L, 03, 03, 41, 15, 03: the ETX in the middle is hex, the length
    // byte is named as a control byte, and so are the last two unless the
    // byte before them is an ETX.
    auto out = run(bytes({0x02, 0x05, 0x03, 0x03, 0x41, 0x15, 0x03}));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].textLine, "<STX> <ENQ> 03 03 41 <NAK> <ETX> ");
    EXPECT_EQ(out[0].hexLine, " 02 05 03 03 41 15 03");
    EXPECT_EQ(out[0].eventLine, "");
    out = run(bytes({0x02, 0x03, 0x41, 0x03, 0x03}));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].textLine, "<STX> <ETX> 41 <ETX> 03 ");
    // Telegram bytes keep bit 7.
    out = run(bytes({0x02, 0x01, 0x82}));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].hexLine, " 02 01 82");
}

TEST(Sigma, CharactersFromPosition51AndHeaderSplit) {
    // 100 bytes: 51 zero bytes, then "A" .. ; hex is 300 characters.
    std::string t = telegram(100, 0x12, 0, {});
    for (std::size_t i = 51; i < 100; ++i) t[i] = static_cast<char>('A' + (i - 51) % 26);
    const auto out = run(t);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].hexHeader.size(), 240u);
    EXPECT_EQ(out[0].hexLine.size(), 60u);
    EXPECT_EQ(out[0].hexHeader.substr(0, 12), " 02 62 00 00");
    EXPECT_EQ(out[0].hexLine.substr(out[0].hexLine.size() - 6), " 56 57");
    // Text: "<STX> 62 " + 49 * "00 " = 156 characters, then 49 letters; no split.
    EXPECT_EQ(out[0].textHeader, "");
    EXPECT_EQ(out[0].textLine.size(), 9u + 49u * 3u + 49u);
    EXPECT_EQ(out[0].textLine.substr(153, 6), "00 ABC");
    EXPECT_EQ(out[0].textLine.substr(out[0].textLine.size() - 10), "NOPQRSTUVW");
}

TEST(Sigma, EightyByteTelegramFillsTheHeaderAndLongerOnesKeepTheLastChunk) {
    auto out = run(telegram(80, 0x12, 0, {}));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].hexHeader.size(), 240u);
    EXPECT_EQ(out[0].hexLine, "");

    // 200 bytes: hex of 600 characters passes 240 twice; the header holds the
    // second chunk (bytes 80..159).
    std::string t = telegram(200, 0x12, 0, {});
    t[80] = '\x7A';
    t[160] = '\x7B';
    out = run(t);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].hexHeader.size(), 240u);
    EXPECT_EQ(out[0].hexHeader.substr(0, 3), " 7A");
    EXPECT_EQ(out[0].hexLine.size(), 120u);
    EXPECT_EQ(out[0].hexLine.substr(0, 3), " 7B");
}

TEST(Sigma, LengthByte255ClosesAtAFullBuffer) {
    DecoderState st;
    auto dec = makeSigmaDecoder();
    std::string t(260, '\x30');
    t[0] = '\x02';
    t[1] = '\xFF';  // announces 257 bytes
    const auto out = shown(feed(*dec, st, t));
    ASSERT_EQ(out.size(), 1u + 4u);
    EXPECT_EQ(out[0].hexHeader.size() + out[0].hexLine.size(), 240u + 48u);
    EXPECT_EQ(out[4].textLine, "30 ");
    EXPECT_FALSE(st.inFrame);
}

}  // namespace
}  // namespace zindra::decoders
