#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "decoders/registry.h"
#include "support/decoder_harness.h"

namespace zindra::decoders {
namespace {

struct Ugm : ::testing::Test {
    std::unique_ptr<Decoder> dec = makeUgmDecoder();
    DecoderState st;
    std::vector<DecoderOutput> run(std::string_view b) { return testing::shown(testing::feed(*dec, st, b)); }
};

// STX, "00", A = "123" (3-5), C = "41" (6-7), "0000", B = "07" (12-13), ETX, check.
const std::string Example =
    "\x02"
    "00"
    "123"
    "41"
    "0000"
    "07"
    "\x03"
    "Z";

TEST_F(Ugm, StrayBytesAreShownOnePerCall) {
    const auto calls = testing::feed(*dec, st, "AB");
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].out.textLine + "|" + calls[0].out.hexLine + "|" + calls[0].out.eventLine, "41 | 41|");
    EXPECT_EQ(calls[1].out.hexLine, " 42");
    EXPECT_TRUE(calls[1].moreData);
    EXPECT_FALSE(calls[2].moreData);
}

TEST_F(Ugm, TelegramEndsWithTheByteAfterTheFirstEtx) {
    auto s =
        run("\x02"
            "A"
            "\x03"
            "\x5A");
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].textLine, "<STX> 41 <ETX> 5A ");
    EXPECT_EQ(s[0].hexLine, " 02 41 03 5A");
    EXPECT_EQ(st.frameLength, 4);
    EXPECT_FALSE(st.inFrame);

    // A STX inside is data; a remapped ETX (0xEB) neither ends the telegram
    // nor lets the byte after it be named.
    s =
        run("\x02"
            "A"
            "\x02"
            "\xEB"
            "\x02"
            "\x03"
            "Z");
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].textLine, "<STX> 41 <STX> .<ETX> 02 <ETX> 5A ");
    EXPECT_EQ(s[0].hexLine, " 02 41 02 .03 02 03 5A");
}

TEST_F(Ugm, EventLineExampleAndSuppressedPair) {
    auto s = run(Example);
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].eventLine, "   786       07       65    41");

    s =
        run("\x02"
            "2<"
            "123"
            "41"
            "0000"
            "07"
            "\x03"
            "Z");
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].hexLine.substr(0, 9), " 02 32 3C");
    EXPECT_EQ(s[0].eventLine, "");
}

TEST_F(Ugm, FieldsBeyondAShortTelegramComeFromEarlierOnes) {
    run(Example);
    // Position 4 is the ETX, 5 the check byte; C and B are left over.
    auto s =
        run("\x02"
            "00"
            "5"
            "\x03"
            "5");
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].eventLine, "  1315       07       65    41");

    // "+" at position 4 makes A negative; the padding counts the sign.
    s =
        run("\x02"
            "00"
            "0+0"
            "41"
            "0000"
            "07"
            "\x03"
            "Z");
    EXPECT_EQ(s[0].eventLine, "   0-5       07       65    41");
}

TEST_F(Ugm, TelegramWithoutEtxIsCutAt37Bytes) {
    EXPECT_TRUE(run("\x02" + std::string(35, '0')).empty());
    EXPECT_TRUE(st.inFrame);
    EXPECT_EQ(st.frameLength, 36);
    const auto s = run("1");
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(st.frameLength, 37);
    EXPECT_EQ(s[0].hexLine.size(), 37u * 3);
}

TEST_F(Ugm, TelegramSplitAcrossCallsIsShownOnceComplete) {
    const auto calls = testing::feed(*dec, st, Example.substr(0, 9));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_FALSE(calls[0].moreData);
    EXPECT_EQ(calls[0].out.textLine + calls[0].out.hexLine + calls[0].out.eventLine, "");
    const auto s = run(Example.substr(9));
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].eventLine, "   786       07       65    41");
}

TEST_F(Ugm, ContinuesAFrameAnotherDecoderBegan) {
    // Another decoder left an open frame with the STX one place in.
    const std::string begun =
        "\xA1"
        "\x02"
        "00"
        "123"
        "41"
        "0000"
        "07";
    std::copy(begun.begin(), begun.end(), st.frameBuffer.begin());
    st.frameLength = static_cast<std::int32_t>(begun.size());
    st.inFrame = true;
    const auto s =
        run("\x03"
            "Z");
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].textLine.substr(0, 9), "A1 <STX> ");
    EXPECT_EQ(s[0].eventLine, "   786       07       65    41");
    // The STX was moved in a copy only.
    EXPECT_EQ(st.frameBuffer[0], 0xA1);
    EXPECT_EQ(st.frameBuffer[1], 0x02);
    EXPECT_EQ(st.frameBuffer[3], '0');

    // No STX at positions 1 .. length-15: the frame cannot be read.
    const std::string noStx =
        "\xA1"
        "8CWF01205";
    std::copy(noStx.begin(), noStx.end(), st.frameBuffer.begin());
    st.frameLength = static_cast<std::int32_t>(noStx.size());
    st.inFrame = true;
    EXPECT_EQ(run("\x03"
                  "Z")
                  .at(0)
                  .eventLine,
              "Problem bei der Auswertung");
}

TEST_F(Ugm, InheritedFullFrameClosesBeforeTheNextByte) {
    st.frameBuffer.fill('1');
    st.frameLength = 255;
    st.inFrame = true;
    const auto s = run("A");
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].hexLine.size(), 255u * 3);
    EXPECT_EQ(s[0].eventLine, "Problem bei der Auswertung");
    EXPECT_EQ(s[1].textLine, "41 ");  // the next byte is not lost
    EXPECT_EQ(st.frameLength, 255);
}

}  // namespace
}  // namespace zindra::decoders
