#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "decoders/registry.h"
#include "support/decoder_harness.h"

namespace zindra::decoders {
namespace {

struct Tn1060 : ::testing::Test {
    std::unique_ptr<Decoder> dec = makeTn1060Decoder();
    DecoderState st;
    std::vector<DecoderOutput> run(std::string_view b) { return testing::shown(testing::feed(*dec, st, b)); }
    // One 15-byte telegram: STX and 14 characters.
    std::string event(const std::string& body) {
        EXPECT_EQ(body.size(), 14u);
        const auto s = run("\x02" + body);
        return s.size() == 1 ? s[0].eventLine : "<" + std::to_string(s.size()) + " shown>";
    }
    // An "a" telegram with "Y" at 5 and the two flag digits at 6 and 7.
    std::string flags(char fault, char disablement) {
        return event(std::string("a000Y") + fault + disablement + "0000000");
    }
};

TEST_F(Tn1060, MessageTelegrams) {
    EXPECT_EQ(event("M41z1201An0F\x03"
                    "0"),
              "   026       15       65    41");
    // No "n": B is 0; a lower-case digit ends the number.
    EXPECT_EQ(event("M411a000000000"), "   001       00       65    41");
    // A of 0 or above 0x3FFF gives no line.
    EXPECT_EQ(event("M414000n01 000"), "");
    EXPECT_EQ(event("M41z00z00000n0"), "");
    EXPECT_EQ(event("X41001n0100000"), "");
}

TEST_F(Tn1060, ZGroupsAreSkippedOnlyInsideTheTelegram) {
    // Left over behind the telegram: a "z" at 16 and a number behind it.
    const std::string leftover = "z0001A";
    std::copy(leftover.begin(), leftover.end(), st.frameBuffer.begin() + 16);
    // "z" groups at 4, 7, 10 and 13 take the cursor to 16, past the end.
    EXPECT_EQ(event("M41z00z00z00z0"), "");
}

TEST_F(Tn1060, CentralReset) {
    EXPECT_EQ(event("S47FFF00000000"), " Zentralen Reset ");
    EXPECT_EQ(event("S47FFE00000000"), "");
}

TEST_F(Tn1060, FlagChangesAreReportedOnce) {
    EXPECT_EQ(flags('0', '0'), "");            // as at start: nothing changed
    EXPECT_EQ(flags('8', '1'), " Stoerung ");  // both changed: fault text only
    EXPECT_EQ(flags('8', '1'), "");            // disablement was recorded too
    EXPECT_EQ(event("a0000F10000000"), "");    // no "Y": flags kept
    EXPECT_EQ(flags('0', '1'), " keine Stoerung ");
    EXPECT_EQ(flags('0', '0'), " keine Abschaltung ");
    EXPECT_EQ(flags('0', '1'), " Abschaltung");
    EXPECT_EQ(flags('0', 'x'), "");  // a non-digit (255) sets the bit
    EXPECT_EQ(flags('x', '0'), " Stoerung ");
}

TEST_F(Tn1060, LettersReadableButNotAfterEtx) {
    const auto s =
        run("\x02"
            "S1\x03"
            "A0000000000");
    ASSERT_EQ(s.size(), 1u);  // the ETX does not end it
    EXPECT_EQ(s[0].textLine, "<STX> S1<ETX> 41 0000000000");
    EXPECT_EQ(s[0].hexLine, " 02 53 31 03 41 30 30 30 30 30 30 30 30 30 30");
}

TEST_F(Tn1060, SearchesOnlyPositionOneInAnInheritedFrame) {
    const std::string begun =
        "\x41\x41\x02"
        "M41";
    std::copy(begun.begin(), begun.end(), st.frameBuffer.begin());
    st.frameLength = 6;
    st.inFrame = true;
    const auto s = run("001An0F00");
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].eventLine, "Problem bei der Auswertung");
}

}  // namespace
}  // namespace zindra::decoders
