#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "decoders/registry.h"
#include "support/decoder_harness.h"

namespace zindra::decoders {
namespace {

struct Ebl : ::testing::Test {
    std::unique_ptr<Decoder> dec = makeEblDecoder();
    DecoderState st;
    std::vector<DecoderOutput> run(std::string_view b) { return testing::shown(testing::feed(*dec, st, b)); }
    std::string event(std::string_view telegram) {
        const auto s = run(telegram);
        return s.size() == 1 ? s[0].eventLine : "<" + std::to_string(s.size()) + " shown>";
    }
    // A status report: "CR" and the status byte at position 4.
    std::string status(char statusByte) {
        return event(std::string("\xA1"
                                 "3CR") +
                     statusByte + "\x7F");
    }
};

TEST_F(Ebl, AlarmTelegram) {
    const auto s =
        run("\xA1"
            "8CWF01205"
            "\x7F");
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].textLine, "  A1 8CWF01205 7F ");
    EXPECT_EQ(s[0].hexLine, " A1 38 43 57 46 30 31 32 30 35 7F");
    EXPECT_EQ(s[0].eventLine, "   012       05      Alarm");

    EXPECT_EQ(event("\xC1"
                    "8CWR003AA"
                    "\x7F"),
              "   003       00      Ruhe");
    EXPECT_EQ(event("\xA1"
                    "2CC"
                    "\x7F"),
              " Zentralenreset ");
    EXPECT_EQ(event("\xB1"
                    "2CC"
                    "\x7F"),
              "");  // only 0xA1 and 0xC1 are read
}

TEST_F(Ebl, StatusChangesAreReportedOnce) {
    EXPECT_EQ(status(' '), "");            // 0x20: as at start
    EXPECT_EQ(status('&'), " Stoerung ");  // 0x26: both changed
    EXPECT_EQ(status('&'), "");
    EXPECT_EQ(status('$'), " keine Stoerung ");  // 0x24: disablement only
    EXPECT_EQ(status(' '), " keine Abschaltung ");
    EXPECT_EQ(status('$'), " Abschaltung");
    // "CR" outranks "CWF"; status byte "F" (0x46) sets both bits.
    EXPECT_EQ(event("\xA1"
                    "7CRFCWF1"
                    "\x7F"),
              " Stoerung ");
}

TEST_F(Ebl, LengthCharacterAndNewStartBytes) {
    // "/" is a target length of 2: the telegram ends with it.
    auto s =
        run("\xA1"
            "/A");
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].textLine, "  A1 /");
    EXPECT_EQ(s[0].hexLine, " A1 2F");
    EXPECT_EQ(s[1].textLine, "  A");  // a stray byte
    EXPECT_EQ(s[1].hexLine, " 41");

    // A byte with bit 7 set drops the unfinished telegram unseen.
    s =
        run("\xA1"
            "8CW"
            "\xC1"
            "/");
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].hexLine, " C1 2F");

    // A length beyond the limit closes at 41 bytes.
    EXPECT_TRUE(run("\xA1"
                    "z" +
                    std::string(38, 'x'))
                    .empty());
    EXPECT_EQ(run("x").size(), 1u);
    EXPECT_EQ(st.frameLength, 41);
}

TEST_F(Ebl, MarkedA0Bytes) {
    // 0xA0 can lie inside only a frame another decoder began.
    const std::string begun =
        "\x02"
        "5123"
        "\xA0";
    std::copy(begun.begin(), begun.end(), st.frameBuffer.begin());
    st.frameLength = 6;
    st.inFrame = true;
    const auto s = run("xy");
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].textLine, "  02 5123. A0 xy");
    EXPECT_EQ(s[0].hexLine, " 02 35 31 32 33  .A0 78 79");
    EXPECT_EQ(s[0].eventLine, "");

    const auto a0 =
        run("\xA0"
            "/");
    ASSERT_EQ(a0.size(), 1u);
    EXPECT_EQ(a0[0].textLine, ". A0 /");
    EXPECT_EQ(a0[0].hexLine, ".A0 2F");
}

}  // namespace
}  // namespace zindra::decoders
