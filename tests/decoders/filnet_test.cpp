#include <gtest/gtest.h>

#include "support/decoder_harness.h"

namespace zindra::decoders {
namespace {

using testing::bytes;
using testing::feed;
using testing::shown;

// Introducer, then an 11-byte telegram with the kind byte, three numbers and
// the qualifier.
std::string telegram(int kind, int first, int second, int third, int qualifier) {
    return bytes({0x8A, 0x0B, 0x01, 0x02, 0x03, 0x04, 0x05, kind, first, second, third, qualifier});
}

class FilnetTest : public ::testing::Test {
protected:
    std::unique_ptr<Decoder> decoder = makeFilnetDecoder();
    DecoderState state;

    std::vector<DecoderOutput> run(const std::string& in) { return shown(feed(*decoder, state, in)); }
};

TEST_F(FilnetTest, StrayBytesShowBitSevenAsMark) {
    const auto calls = run(bytes({0x41, 0xC1, 0x80, 0x7F}));
    ASSERT_EQ(calls.size(), 4u);
    const char* hex[] = {" 41", " .41", " .00", " 7F"};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(calls[i].hexLine, hex[i]);
        EXPECT_EQ(calls[i].textLine, "");
        EXPECT_EQ(calls[i].eventLine, "");
    }
    EXPECT_FALSE(state.inFrame);
}

TEST_F(FilnetTest, IntroducerIsShownAloneAndLengthCountsTheTelegram) {
    auto calls = feed(*decoder, state, bytes({0x8A, 0x03, 0x11}));
    auto out = shown(calls);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].hexLine, " .0A");
    EXPECT_EQ(out[0].eventLine, "");
    EXPECT_TRUE(state.inFrame);

    out = run(bytes({0x22}));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].hexLine, "03 11 22 ");
    EXPECT_EQ(out[0].textLine, "");
    EXPECT_FALSE(out[0].eventLine.empty());
    EXPECT_FALSE(state.inFrame);
}

TEST_F(FilnetTest, EventLineLayout) {
    auto out = run(telegram(0x80, 3, 12, 5, 0x01));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[1].hexLine, "0B 01 02 03 04 05 80 03 0C 05 01 ");
    EXPECT_EQ(out[1].eventLine, "03     012    /   05    80H    01H    Alarm");

    EXPECT_EQ(run(telegram(0x95, 123, 7, 200, 0xFF))[1].eventLine,
              "123     007    /  200    95H    FFH    St\xF6r Ruhe");
    EXPECT_EQ(run(telegram(0xB4, 0, 255, 0, 0x02))[1].eventLine,
              "00     255    /   00    B4H    02H    Linie ein");
    EXPECT_EQ(run(telegram(0x83, 1, 1, 1, 0x01))[1].eventLine, "01     001    /   01    83H    01H    ");
}

TEST_F(FilnetTest, StateTable) {
    struct Case {
        int kind, qualifier;
        const char* text;
    };
    const Case cases[] = {
        {0x81, 0x01, "Alarm"},       {0x87, 0xFF, "Ruhe"},        {0x86, 0x02, ""},
        {0x90, 0x01, "St\xF6rung"},  {0x97, 0x01, "St\xF6rung"},  {0x98, 0x01, ""},
        {0xB2, 0xFE, "Linie aus"},   {0xB4, 0xFE, "Linie aus"},   {0xB3, 0x02, ""},
    };
    for (const Case& c : cases) {
        const auto out = run(telegram(c.kind, 1, 2, 3, c.qualifier));
        ASSERT_EQ(out.size(), 2u);
        const std::string& line = out[1].eventLine;
        EXPECT_EQ(line.substr(line.rfind("H    ") + 5), c.text) << c.kind << " " << c.qualifier;
    }
}

TEST_F(FilnetTest, IntroducerInsideTelegramIsData) {
    const auto out = run(bytes({0x8A, 0x04, 0x8A, 0x8A, 0x41}));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[1].hexLine, "04 8A 8A 41 ");
}

TEST_F(FilnetTest, LengthZeroOrOneClosesWithTheLengthByte) {
    auto out = run(bytes({0x8A, 0x00, 0x41}));
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[1].hexLine, "00 ");
    EXPECT_EQ(out[2].hexLine, " 41");
    out = run(bytes({0x8A, 0x01}));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[1].hexLine, "01 ");
}

// A short telegram reads its fields from what the buffer held before.
TEST_F(FilnetTest, ShortTelegramReadsOlderBytes) {
    run(telegram(0x80, 3, 12, 5, 0x01));
    const auto out = run(bytes({0x8A, 0x02, 0x99}));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[1].eventLine, "03     012    /   05    80H    01H    Alarm");
}

}  // namespace
}  // namespace zindra::decoders
