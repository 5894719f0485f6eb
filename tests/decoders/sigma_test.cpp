#include <gtest/gtest.h>

#include "support/decoder_harness.h"

namespace zindra::decoders {
namespace {

using testing::bytes;

std::vector<DecoderOutput> run(const std::string& data) {
    DecoderState st;
    auto dec = makeSigmaDecoder();
    return testing::shown(testing::feed(*dec, st, data));
}

// n bytes (L = n - 2), type at 9, state at 10, BCD bytes from 30 on.
std::string telegram(std::size_t n, int type, int state, std::initializer_list<int> bcd = {}) {
    std::string t(n, '\0');
    t[0] = '\x02';
    t[1] = static_cast<char>(n - 2);
    t[9] = static_cast<char>(type);
    t[10] = static_cast<char>(state);
    std::size_t pos = 30;
    for (int v : bcd) t[pos++] = static_cast<char>(v);
    return t;
}

TEST(Sigma, EventLines) {
    const std::pair<std::string, std::string> cases[] = {
        {telegram(38, 0x11, 1, {0xFF, 0xFF, 0xF1, 0x23, 0x45, 0x07}), " 12345       07    Alarm"},
        {telegram(38, 0x11, 0, {0, 0, 0, 0, 0x42, 0x10}), "   042       10    Ruhe"},
        {telegram(38, 0x11, 8, {0, 0, 0, 0, 0x42, 0x10}), "   042       10    St\xF6rung"},
        {telegram(38, 0x13, 1, {0, 0, 0, 0, 0x42, 0x10}), "   042       10    Abschaltung"},
        {telegram(38, 0x13, 4, {0, 0, 0, 0, 0x42, 0x10}), "   042       10    Einschaltung"},
        {telegram(38, 0x12, 1, {0, 0, 0, 0, 0x42, 0x10}), ""},
        // Filler nibbles give no digit; an empty text counts 0.
        {telegram(38, 0x11, 1, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xAB}), "   000       00    Alarm"},
        // Ten digits show their true value.
        {telegram(38, 0x11, 1, {0x99, 0x99, 0x99, 0x99, 0x99, 0x99}), "9999999999       99    Alarm"},
    };
    for (const auto& [frame, event] : cases) {
        const auto out = run(frame);
        ASSERT_EQ(out.size(), 1u);
        EXPECT_EQ(out[0].eventLine, event);
    }
}

TEST(Sigma, NamesAtTheEndsAndStrayBytesWithoutBitSeven) {
    const auto out = run(bytes({0x02, 0x05, 0x03, 0x03, 0x41, 0x15, 0x03, 0x02, 0x00, 0x82, 0xC1}));
    ASSERT_EQ(out.size(), 4u);
    // The length byte 05 is named too; the ETX in the middle is not.
    EXPECT_EQ(out[0].textLine, "<STX> <ENQ> 03 03 41 <NAK> <ETX> ");
    EXPECT_EQ(out[0].hexLine, " 02 05 03 03 41 15 03");
    EXPECT_EQ(out[1].hexLine, " 02 00");  // length byte 0: two bytes
    EXPECT_EQ(out[2].textLine, ".<STX> ");
    EXPECT_EQ(out[2].hexLine, " .02");
    EXPECT_EQ(out[3].textLine, ". 41 ");
}

TEST(Sigma, CharactersFromPosition51AndHeaderSplit) {
    std::string t = telegram(100, 0x12, 0);
    for (std::size_t i = 51; i < 100; ++i) t[i] = static_cast<char>('A' + (i - 51) % 26);
    auto out = run(t);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].hexHeader.substr(0, 12), " 02 62 00 00");
    EXPECT_EQ(out[0].hexHeader.size(), 240u);
    EXPECT_EQ(out[0].hexLine.size(), 60u);
    EXPECT_EQ(out[0].textHeader, "");
    EXPECT_EQ(out[0].textLine.substr(153), "00 ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMNOPQRSTUVW");

    out = run(telegram(80, 0x12, 0));  // exactly 240 characters of hex
    EXPECT_EQ(out[0].hexHeader.size(), 240u);
    EXPECT_EQ(out[0].hexLine, "");

    t = telegram(200, 0x12, 0);  // 600 characters: the header keeps bytes 80..159
    t[80] = '\x7A';
    out = run(t);
    EXPECT_EQ(out[0].hexHeader.substr(0, 3), " 7A");
    EXPECT_EQ(out[0].hexLine.size(), 120u);
}

TEST(Sigma, LengthByte255ClosesAtAFullBuffer) {
    std::string t(260, '\x30');
    t[0] = '\x02';
    t[1] = '\xFF';  // announces 257 bytes
    const auto out = run(t);
    ASSERT_EQ(out.size(), 1u + 4u);
    EXPECT_EQ(out[0].hexLine.size(), 256u * 3u - 3u * 240u);
    EXPECT_EQ(out[4].textLine, "30 ");
}

}  // namespace
}  // namespace zindra::decoders
