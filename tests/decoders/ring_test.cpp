#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "decoders/render.h"
#include "decoders/state.h"
#include "support/decoder_harness.h"

namespace zindra::decoders {
namespace {

using testing::bytes;
using testing::feed;
using testing::shown;

std::vector<std::uint8_t> iota(int n, int start = 0) {
    std::vector<std::uint8_t> v(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) v[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(start + i);
    return v;
}

TEST(ReceiveRing, AppendWrapsIntoSlotZeroOnward) {
    DecoderState st;
    st.writeIndex = 1000;
    const auto chunk = iota(80, 1);
    appendToRing(st, chunk.data(), 80);
    EXPECT_EQ(st.writeIndex, 55);
    EXPECT_EQ(st.receiveRing[1000], 1);
    EXPECT_EQ(st.receiveRing[1024], 25);  // 25 bytes in slots 1000..1024
    EXPECT_EQ(st.receiveRing[0], 26);
    EXPECT_EQ(st.receiveRing[54], 80);  // 55 bytes in slots 0..54
    EXPECT_EQ(st.readIndex, 0);         // never consulted
}

TEST(ReceiveRing, AppendUpToTheLastSlotOrExactlyPastIt) {
    DecoderState st;
    st.writeIndex = 1000;
    const auto chunk = iota(25);
    appendToRing(st, chunk.data(), 25);
    EXPECT_EQ(st.writeIndex, 0);

    st.writeIndex = 1000;
    appendToRing(st, chunk.data(), 24);
    EXPECT_EQ(st.writeIndex, 1024);
    appendToRing(st, chunk.data(), 1);  // slot 1024 is a real slot
    EXPECT_EQ(st.receiveRing[1024], 0);
    EXPECT_EQ(st.writeIndex, 1025 % 1025);
}

TEST(ReceiveRing, OverwritesUnreadBytesWithoutNotice) {
    DecoderState st;
    const auto chunk = iota(80);
    for (int i = 0; i < 13; ++i) appendToRing(st, chunk.data(), 80);  // 1040 bytes
    EXPECT_EQ(st.writeIndex, 1040 - 1025);
    EXPECT_EQ(st.readIndex, 0);
    EXPECT_EQ(st.receiveRing[0], chunk[1025 % 80]);
}

TEST(ReceiveRing, LargeCountIsTakenInPiecesWithoutOverrun) {
    DecoderState st;
    st.writeIndex = 900;
    const auto chunk = iota(2000);
    appendToRing(st, chunk.data(), 2000);
    EXPECT_EQ(st.writeIndex, (900 + 2000) % 1025);
    EXPECT_EQ(st.receiveRing[static_cast<std::size_t>((900 + 1999) % 1025)], chunk[1999]);
}

TEST(ReceiveRing, ReadIndexWrapsAfterSlot1024) {
    DecoderState st;
    st.readIndex = 1024;
    st.writeIndex = 5;
    st.receiveRing[1024] = 0x41;
    EXPECT_EQ(st.takeByte(), 0x41);
    EXPECT_EQ(st.readIndex, 0);
}

TEST(ByteToHex, UpperCaseDigits) {
    EXPECT_EQ(byteToHex(0x0A), "0A");
    EXPECT_EQ(byteToHex(0xE8), "E8");
    EXPECT_EQ(byteToHex(0x00), "00");
    EXPECT_EQ(byteToHex(0xFF), "FF");
}

struct Rendered {
    std::string text, hex;
};
Rendered render(const std::string& s) {
    Rendered r;
    renderDefault(reinterpret_cast<const std::uint8_t*>(s.data()), static_cast<int>(s.size()), r.text, r.hex);
    return r;
}

TEST(RenderDefault, BlockNamesControlsShowsPunctuationAndDigits) {
    const Rendered r = render(bytes({0x02, 0x31, 0x32, 0x03, 0x7A}));
    EXPECT_EQ(r.text, "<STX> 12<ETX> 7A ");
    EXPECT_EQ(r.hex, " 02 31 32 03 7A");
}

TEST(RenderDefault, SingleBytes) {
    EXPECT_EQ(render("A").text, "41 ");
    EXPECT_EQ(render("A").hex, " 41");
    EXPECT_EQ(render(bytes({0xEA})).text, ".<STX> ");
    EXPECT_EQ(render(bytes({0xEA})).hex, " .02");
    EXPECT_EQ(render(bytes({0x2A})).text, "*");
    EXPECT_EQ(render(bytes({0x3F})).text, "?");
    EXPECT_EQ(render(bytes({0x40})).text, "40 ");
}

TEST(RenderDefault, NoNameRightAfterEtxAndHexGetsASeparator) {
    // 0x02 after 0x03 is data; "1" then a letter needs a separating space.
    const Rendered r = render(bytes({0x03, 0x02, 0x31, 0x41}));
    EXPECT_EQ(r.text, "<ETX> 02 1 41 ");
    // A remapped ETX also suppresses the next name.
    const Rendered m = render(bytes({0xEB, 0x05}));
    EXPECT_EQ(m.text, ".<ETX> 05 ");
    EXPECT_EQ(m.hex, " .03 05");
}

TEST(DefaultDecoder, EmptyRingReturnsNothing) {
    DecoderState st;
    auto d = makeDefaultDecoder();
    const auto calls = feed(*d, st, "");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_FALSE(calls[0].moreData);
    EXPECT_TRUE(calls[0].out.textLine.empty());
    EXPECT_TRUE(calls[0].out.hexLine.empty());
    EXPECT_TRUE(calls[0].out.eventLine.empty());
}

TEST(DefaultDecoder, BlockOfFifteenAcrossTwoChunksIsShownOnce) {
    DecoderState st;
    auto d = makeDefaultDecoder();
    const std::string block =
        bytes({0x02, 'A', 'B', 'C', 0x02, '1', '2', '3', '4', '5', '6', '7', '8', '9', 0x03});
    EXPECT_TRUE(shown(feed(*d, st, block.substr(0, 6))).empty());
    EXPECT_TRUE(st.inFrame);
    const auto out = shown(feed(*d, st, block.substr(6) + "A"));
    ASSERT_EQ(out.size(), 2u);
    // The STX as the 5th byte is data, not a new block.
    EXPECT_EQ(out[0].textLine, "<STX> 41 42 43 <STX> 123456789<ETX> ");
    EXPECT_EQ(out[0].hexLine, " 02 41 42 43 02 31 32 33 34 35 36 37 38 39 03");
    EXPECT_EQ(out[1].hexLine, " 41");
    EXPECT_FALSE(st.inFrame);
}

TEST(DefaultDecoder, StrayBytesOnePerCall) {
    DecoderState st;
    auto d = makeDefaultDecoder();
    const auto calls = feed(*d, st, "AB");
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].out.textLine, "41 ");
    EXPECT_TRUE(calls[0].moreData);
    EXPECT_EQ(calls[1].out.textLine, "42 ");
    EXPECT_FALSE(calls[2].moreData);
    EXPECT_TRUE(calls[2].out.hexLine.empty());
}

TEST(DefaultDecoder, ContinuesAFrameBegunBeforeAndNeverWritesPastIt) {
    DecoderState st;
    st.inFrame = true;
    st.frameLength = 14;
    auto d = makeDefaultDecoder();
    const auto out = shown(feed(*d, st, "Z"));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(st.frameLength, 15);
    EXPECT_FALSE(st.inFrame);
}

TEST(DefaultDecoder, InheritedOverlongFrameClosesWithoutOverrun) {
    DecoderState st;
    st.inFrame = true;
    st.frameLength = 255;
    auto d = makeDefaultDecoder();
    const auto out = shown(feed(*d, st, "AB"));
    ASSERT_EQ(out.size(), 3u);  // the old frame, then both bytes as strays
    EXPECT_FALSE(st.inFrame);
    EXPECT_LT(st.frameLength, 256);
    EXPECT_EQ(out[1].hexLine, " 41");
}

}  // namespace
}  // namespace zindra::decoders
