// The event record beside each event line: per protocol family, the numbers,
// code and state text of a hand-written telegram, and that the record's line
// is the event line.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "decoders/registry.h"
#include "support/decoder_harness.h"

namespace zindra::decoders {
namespace {

using testing::bytes;

struct Expected {
    const char* name;
    DecoderFactory make;
    Protocol protocol;
    std::string input;
    std::string line;
    std::optional<std::int64_t> a, b;
    std::optional<std::int32_t> code;
    std::string hex;
    std::string stateText;
};

// The last record the input completes.
std::optional<EventRecord> lastRecord(Decoder& dec, const std::string& input) {
    DecoderState st;
    std::optional<EventRecord> found;
    for (const auto& call : testing::feed(dec, st, input)) {
        if (call.out.hasRecord) found = call.out.record;
    }
    return found;
}

TEST(EventRecord, CarriesWhatTheLineShows) {
    const std::string sm88 =
        bytes({0x02, 0x0E, 0, 0x11, 0, 0, 0, 0, 0, 0, 0, 0x01, 0x23, 0x45, 0x07, 0x01, 0x5A});
    std::string sigma(38, '\0');
    sigma[0] = '\x02';
    sigma[1] = 36;
    sigma[9] = 0x11;
    sigma[10] = 0x01;
    sigma.replace(30, 6, bytes({0xFF, 0xFF, 0xF1, 0x23, 0x45, 0x07}));
    const std::string hekatron =
        std::string("\x02") + "12M4500" + "89abcdefgh" + "0021" + "012C" + "0000" + "\x03K";
    const Expected cases[] = {
        {"UGM", makeUgmDecoder, Protocol::Ugm,
         "\x02"
         "00123410000"
         "07\x03Z",
         "   786       07       65    41", 786, 7, 65, "41", ""},
        {"UEZ", makeUezDecoder, Protocol::Uez,
         "\x02"
         "00120041000007\x03Z",
         "   018       07       65    41", 18, 7, 65, "41", ""},
        {"TN1060 message", makeTn1060Decoder, Protocol::Tn1060, "\x02M410123n07\x03xyz",
         "   291       07       65    41", 291, 7, 65, "41", ""},
        {"TN1060 reset",
         makeTn1060Decoder,
         Protocol::Tn1060,
         "\x02S47FFF00000000",
         " Zentralen Reset ",
         {},
         {},
         {},
         "",
         "Zentralen Reset"},
        {"EBL",
         makeEblDecoder,
         Protocol::Ebl,
         "\xC1"
         "8CWR003AA\x7F",
         "   003       00      Ruhe",
         3,
         0,
         {},
         "",
         "Ruhe"},
        {"SDN",
         makeSdnDecoder,
         Protocol::Sdn,
         "\x02"
         "01:5040300230"
         "0",
         "  1234       03    Alarm",
         1234,
         3,
         {},
         "",
         "Alarm"},
        {"SM88",
         makeSm88Decoder,
         Protocol::Sm88,
         sm88,
         " 12345       07    Alarm",
         12345,
         7,
         {},
         "",
         "Alarm"},
        {"SIGMA",
         makeSigmaDecoder,
         Protocol::Sigma,
         sigma,
         " 12345       07    Alarm",
         12345,
         7,
         {},
         "",
         "Alarm"},
        {"ZETFAS",
         makeZetfasDecoder,
         Protocol::Zetfas,
         bytes({0x10, 1, 2, 3, 4, 5, 0x90, 7, 12, 3, 0xFF, 11, 12, 13, 14, 15}),
         "   012       03    St\xF6r Ruhe",
         12,
         3,
         {},
         "",
         "St\xF6r Ruhe"},
        {"BMCI",
         makeBmciDecoder,
         Protocol::Bmci,
         "AZB0012050000000\x03X",
         "   012       05    Alarm",
         12,
         5,
         {},
         "",
         "Alarm"},
        {"HEKATRON", makeHekatronDecoder, Protocol::Hekatron, hekatron,
         "   300       00    St\xF6rung               M  0021", 300, 0, 0x21, "0021", "St\xF6rung"},
        {"FILNET", makeFilnetDecoder, Protocol::Filnet,
         bytes({0x8A, 0x0B, 1, 2, 3, 4, 5, 0x80, 3, 12, 5, 0x01}),
         "03     012    /   05    80H    01H    Alarm", 12, 5, 0x80, "80", "Alarm"},
        {"UGM without STX",
         makeUgmDecoder,
         Protocol::Ugm,
         "",
         "Problem bei der Auswertung",
         {},
         {},
         {},
         "",
         "Problem bei der Auswertung"},
    };
    for (const Expected& c : cases) {
        SCOPED_TRACE(c.name);
        auto dec = c.make();
        std::optional<EventRecord> r;
        if (c.input.empty()) {
            // A frame another decoder began without an STX near its start.
            DecoderState st;
            st.inFrame = true;
            st.frameLength = 1;
            st.frameBuffer[0] = 'x';
            const auto calls = testing::feed(*dec, st, "yyyy\x03Z");
            for (const auto& call : calls) {
                if (call.out.hasRecord) r = call.out.record;
            }
        } else {
            r = lastRecord(*dec, c.input);
        }
        ASSERT_TRUE(r.has_value());
        EXPECT_EQ(r->protocol, c.protocol);
        EXPECT_EQ(r->line, c.line);
        EXPECT_EQ(r->numberA, c.a);
        EXPECT_EQ(r->numberB, c.b);
        EXPECT_EQ(r->stateCode, c.code);
        EXPECT_EQ(r->stateHex, c.hex);
        EXPECT_EQ(r->stateText, c.stateText);
        EXPECT_TRUE(r->printerText.empty());
        if (!c.input.empty()) {
            // FILNET's introducer is not part of its telegram.
            EXPECT_EQ(r->raw, c.protocol == Protocol::Filnet ? c.input.substr(1) : c.input);
        }
    }
}

TEST(EventRecord, FilnetLeadNumberAndQualifier) {
    auto dec = makeFilnetDecoder();
    const auto r = lastRecord(*dec, bytes({0x8A, 0x0B, 1, 2, 3, 4, 5, 0x95, 123, 7, 200, 0xFF}));
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->line, "123     007    /  200    95H    FFH    St\xF6r Ruhe");
    EXPECT_EQ(r->leadNumber, 123);
    EXPECT_EQ(r->qualifier, 0xFF);
    // The introducer is not part of the telegram.
    EXPECT_EQ(r->raw, bytes({0x0B, 1, 2, 3, 4, 5, 0x95, 123, 7, 200, 0xFF}));
}

TEST(EventRecord, NoRecordWithoutAnEventAndNoneLeftOver) {
    // A suppressed UGM pair, an unknown SDN state, and the stray byte after a
    // telegram carry no record.
    auto ugm = makeUgmDecoder();
    EXPECT_FALSE(lastRecord(*ugm,
                            "\x02"
                            "2<123410000"
                            "07\x03Z")
                     .has_value());
    auto sdn = makeSdnDecoder();
    EXPECT_FALSE(lastRecord(*sdn,
                            "\x02"
                            "01xx040300230"
                            "0")
                     .has_value());
    DecoderState st;
    const auto calls = testing::feed(*ugm, st,
                                     "\x02"
                                     "00123410000"
                                     "07\x03Z"
                                     "A");
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_TRUE(calls[0].out.hasRecord);
    EXPECT_FALSE(calls[1].out.hasRecord);
}

TEST(EventRecord, PrinterLinesCarryTheirText) {
    struct Printer {
        DecoderFactory make;
        Protocol protocol;
        std::string input;
        std::string text;
    };
    const Printer printers[] = {
        {makeSigmaPrnDecoder, Protocol::SigmaPrn,
         "\x02"
         "01Feuer Melder 7  \x03",
         "Feuer Melder 7"},
        {makeSm88PrnDecoder, Protocol::Sm88Prn,
         "\x02"
         "01St\xF6rung Linie 3\x03",
         "St\xF6rung Linie 3"},
        {makeHsb180Decoder, Protocol::Hsb180, "ALARM 12/3\r\n", "ALARM 12/3"},
        {makeSecuritonDecoder, Protocol::Securiton,
         "\x1B"
         "Ruhe 4\r\n",
         "Ruhe 4"},
    };
    for (const Printer& p : printers) {
        SCOPED_TRACE(p.text);
        auto dec = p.make();
        const auto r = lastRecord(*dec, p.input);
        ASSERT_TRUE(r.has_value());
        EXPECT_EQ(r->protocol, p.protocol);
        EXPECT_EQ(r->printerText, p.text);
        EXPECT_EQ(r->raw, p.input);
        EXPECT_EQ(r->line, "");
    }

    // Plain text: a line that arrives in two chunks is one record, made when
    // its LF comes.
    auto dec = makePlainTextDecoder();
    DecoderState st;
    const auto first = testing::feed(*dec, st, "Zeile ");
    for (const auto& call : first) EXPECT_FALSE(call.out.hasRecord);
    const auto second = testing::feed(*dec, st, "1\r\nZ");
    ASSERT_TRUE(second[0].out.hasRecord);
    EXPECT_EQ(second[0].out.record.printerText, "Zeile 1");
    EXPECT_EQ(second[0].out.record.raw, "Zeile 1\r\n");
    EXPECT_EQ(second[0].out.record.protocol, Protocol::PlainText);
}

TEST(Registry, TableNamesEveryProtocolInEnumOrder) {
    const auto& table = protocolTable();
    for (int i = 0; i < ProtocolCount; ++i) {
        EXPECT_EQ(static_cast<int>(table[static_cast<std::size_t>(i)].protocol), i);
    }
    EXPECT_EQ(protocolName(Protocol::SigmaPrn), "SIGMAPRN");
    EXPECT_EQ(protocolName(Protocol::Filnet), "FILNET");
    EXPECT_EQ(protocolName(Protocol::Count), "?");
}

}  // namespace
}  // namespace zindra::decoders

namespace zindra::decoders {
namespace {

TEST(EventRecord, NotFilledWhileNobodyTakesThemAndTheLineIsTheSame) {
    const std::string telegram =
        "\x02"
        "00123410000"
        "07\x03Z";
    auto dec = makeUgmDecoder();
    DecoderState st;
    DecoderOutput out;
    out.recordWanted = false;
    appendToRing(st, reinterpret_cast<const std::uint8_t*>(telegram.data()),
                 static_cast<std::uint16_t>(telegram.size()));
    dec->decode(st, out);
    EXPECT_EQ(out.eventLine, "   786       07       65    41");
    EXPECT_FALSE(out.hasRecord);

    // A plain-text line whose start went by unrecorded gives no record.
    auto text = makePlainTextDecoder();
    appendToRing(st, reinterpret_cast<const std::uint8_t*>("ab"), 2);
    text->decode(st, out);
    out.recordWanted = true;
    appendToRing(st, reinterpret_cast<const std::uint8_t*>("c\n"), 2);
    text->decode(st, out);
    EXPECT_FALSE(out.hasRecord);
    appendToRing(st, reinterpret_cast<const std::uint8_t*>("d\n"), 2);
    text->decode(st, out);
    ASSERT_TRUE(out.hasRecord);
    EXPECT_EQ(out.record.printerText, "d");
}

}  // namespace
}  // namespace zindra::decoders
