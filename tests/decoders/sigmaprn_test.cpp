#include <gtest/gtest.h>

#include "decoders/registry.h"
#include "support/decoder_harness.h"

namespace zindra::decoders {
namespace {

using testing::bytes;
using testing::feed;
using testing::shown;

std::vector<DecoderOutput> run(const std::string& data) {
    DecoderState st;
    auto dec = makeSigmaPrnDecoder();
    return shown(feed(*dec, st, data));
}

TEST(SigmaPrn, LineFromStxToEtx) {
    auto out = run(bytes({0x02, 'A', 'B', 'C', 0x03}));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].textLine, "<STX> 41 42 C 03 ");
    EXPECT_EQ(out[0].hexLine, " 02 41 42 43 03");
    EXPECT_EQ(out[0].eventLine, "");
    EXPECT_EQ(out[0].hexHeader, "");

    // An ETX in the head is named and ends the line.
    out = run(bytes({0x02, 0x03, 0x41}));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].textLine, "<STX> <ETX> ");
    EXPECT_EQ(out[0].hexLine, " 02 03");
    EXPECT_EQ(out[1].textLine, "41 ");
}

TEST(SigmaPrn, RemappedNakNamedOnlyInHeadOrTail) {
    auto out = run(bytes({0x02, 0xFD, 0x03}));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].textLine, "<STX> .<NAK> <ETX> ");
    EXPECT_EQ(out[0].hexLine, " 02 .15 03");
    out = run(bytes({0x02, 'A', 'B', 0xFD, 0x03}));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].textLine, "<STX> 41 42 . 15 03 ");
    EXPECT_EQ(out[0].hexLine, " 02 41 42 .15 03");
}

TEST(SigmaPrn, HundredByteLineWithoutEtxNamesItsTailAndSplitsTheHex) {
    std::string line = bytes({0x02}) + std::string(96, 'x') + bytes({0x04, 0x10});
    DecoderState st;
    auto dec = makeSigmaPrnDecoder();
    EXPECT_TRUE(shown(feed(*dec, st, line)).empty());  // 99 bytes: still open
    EXPECT_TRUE(st.inFrame);
    const auto calls = feed(*dec, st, bytes({0xFD}));
    const auto out = shown(calls);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].textLine, "<STX> 78 78 " + std::string(94, 'x') + "<EOT> <DLE> .<NAK> ");
    EXPECT_EQ(out[0].textHeader, "");
    EXPECT_EQ(out[0].hexHeader.size(), 240u);
    EXPECT_EQ(out[0].hexLine.size(), 61u);
    EXPECT_EQ(out[0].hexLine.substr(48), " 78 04 10 .15");
    // The call that finds the ring empty shows nothing, headers included.
    EXPECT_EQ(calls.back().out.hexHeader, "");
    EXPECT_EQ(calls.back().out.textHeader, "");
    EXPECT_FALSE(calls.back().moreData);
}

TEST(SigmaPrn, StrayBytesAreNamed) {
    const auto out = run(bytes({0x06, 0x41, 0xEA}));
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0].textLine, "<ACK> ");
    EXPECT_EQ(out[1].textLine, "41 ");
    EXPECT_EQ(out[2].textLine, ".<STX> ");
    EXPECT_EQ(out[2].hexLine, " .02");
}

}  // namespace
}  // namespace zindra::decoders
