#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "decoders/registry.h"
#include "support/decoder_harness.h"

namespace zindra::decoders {
namespace {

struct Uez : ::testing::Test {
    std::unique_ptr<Decoder> dec = makeUezDecoder();
    DecoderState st;
    std::vector<DecoderOutput> run(std::string_view b) { return testing::shown(testing::feed(*dec, st, b)); }
    // STX, "00", A (3-6), C (7-8), "0000", B (13-14), ETX, check byte.
    std::string eventFor(const std::string& a, const std::string& c, const std::string& b) {
        const auto s =
            run("\x02"
                "00" +
                a + c + "0000" + b +
                "\x03"
                "Z");
        return s.size() == 1 ? s[0].eventLine : "<" + std::to_string(s.size()) + " shown>";
    }
};

TEST_F(Uez, EventLinesFromTheUezFields) {
    EXPECT_EQ(eventFor("3412", "09", "1?"), "  4660       31       09    09");
    EXPECT_EQ(eventFor("????", "00", "00"), " 65535       00       00    00");
    // "O" counts 15 where the low nibble is taken, 31 where 0x30 is subtracted.
    EXPECT_EQ(eventFor("0O00", "OO", "OO"), "   031      255      255    FF");
    // Framing, rendering and the "2<" rule are those of UGM.
    EXPECT_EQ(run("\x02"
                  "2<"
                  "3412"
                  "09"
                  "0000"
                  "1?"
                  "\x03"
                  "Z")
                  .at(0)
                  .eventLine,
              "");
}

}  // namespace
}  // namespace zindra::decoders
