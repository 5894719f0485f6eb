#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>

#include "events/event_row.h"
#include "events/event_store.h"
#include "events/export.h"

namespace zindra::events {
namespace {

namespace fs = std::filesystem;
using decoders::EventRecord;
using decoders::Protocol;

std::string fileText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void expectSame(const EventView& a, const EventView& b) {
    EXPECT_EQ(a.protocol, b.protocol);
    EXPECT_EQ(a.time, b.time);
    EXPECT_EQ(a.numberA, b.numberA);
    EXPECT_EQ(a.numberB, b.numberB);
    EXPECT_EQ(a.leadNumber, b.leadNumber);
    EXPECT_EQ(a.stateCode, b.stateCode);
    EXPECT_EQ(a.qualifier, b.qualifier);
    EXPECT_EQ(a.stateHex, b.stateHex);
    EXPECT_EQ(a.stateText, b.stateText);
    EXPECT_EQ(a.printerText, b.printerText);
    EXPECT_EQ(a.line, b.line);
    EXPECT_EQ(a.raw, b.raw);
}

TEST(EventStore, KeepsEveryFieldOfEveryEventAndItsViewsStayValid) {
    std::vector<std::pair<EventRecord, trace::ChunkTime>> events;
    EventRecord r;
    r.reset(Protocol::Filnet);
    r.leadNumber = std::numeric_limits<std::int64_t>::min();
    r.numberA = std::numeric_limits<std::int64_t>::max();
    r.numberB = 0;
    r.stateCode = -1;
    r.stateHex = "95";
    r.qualifier = 255;
    r.stateText = "St\xF6r Ruhe";
    r.line = std::string("a\0b", 3);
    r.raw = std::string("\x00\xFF", 2);
    events.emplace_back(r, -5);
    r.reset(Protocol::SigmaPrn);
    r.printerText = std::string(3 << 20, 'P');  // more than a block holds
    r.raw = "x";
    events.emplace_back(r, std::nullopt);
    r.reset(Protocol::Sm88);  // nothing at all but the protocol
    events.emplace_back(r, 0);

    EventStore store;
    for (const auto& [record, time] : events) store.add(record, time);
    const EventView first = store.at(0);
    const EventView big = store.at(1);
    // Many more events, repeating texts: the first views still hold.
    r.reset(Protocol::Sm88);
    r.stateText = "Alarm";
    r.line = "   003       12    Alarm";
    for (int i = 0; i < 200000; ++i) store.add(r, i);
    ASSERT_EQ(store.size(), 200003u);
    for (std::size_t i = 0; i < events.size(); ++i)
        expectSame(store.at(i), viewOf(events[i].first, events[i].second));
    expectSame(first, viewOf(events[0].first, events[0].second));
    EXPECT_EQ(big.printerText.size(), 3u << 20);
    expectSame(store.at(200002), viewOf(r, 199999));
    EXPECT_EQ(store.stateTextId(5), store.stateTextId(200002));
    EXPECT_EQ(store.stateTextCount(), 4u);  // "St\xF6r Ruhe", "95", "", "Alarm"
    EXPECT_EQ(recordOf(store.at(0)).line, events[0].first.line);
    store.clear();
    EXPECT_TRUE(store.empty());
    store.add(r, 1);
    expectSame(store.at(0), viewOf(r, 1));
}

// Events that share everything but the time share one body; events that
// differ in any one field, or only in whether an optional number is there,
// must not.  Times of any size and direction come back exact.
TEST(EventStore, RepeatedAndUniqueBodiesComeBackExactlyAcrossClear) {
    EventRecord base;
    base.reset(Protocol::Ugm);
    base.numberA = 786;
    base.numberB = 7;
    base.stateCode = 0x41;
    base.stateHex = "41";
    base.stateText = "Alarm";
    base.line = "   786       07       65    41";
    base.raw = "\x02\x31\x03";
    base.panel = "UGM";
    // Each a change of one field of base.
    std::vector<EventRecord> variants{base};
    auto vary = [&](auto change) {
        EventRecord r = base;
        change(r);
        variants.push_back(r);
    };
    vary([](EventRecord& r) { r.protocol = Protocol::Uez; });
    vary([](EventRecord& r) { r.numberA = 787; });
    vary([](EventRecord& r) { r.numberA.reset(); });
    vary([](EventRecord& r) { r.numberB = 0; });
    vary([](EventRecord& r) { r.numberB.reset(); });
    vary([](EventRecord& r) { r.leadNumber = 0; });
    vary([](EventRecord& r) { r.stateCode.reset(); });
    vary([](EventRecord& r) { r.qualifier = 0; });
    vary([](EventRecord& r) { r.stateHex = "F6"; });
    vary([](EventRecord& r) { r.stateText = "St\xF6rung"; });
    vary([](EventRecord& r) { r.line += ' '; });
    vary([](EventRecord& r) { r.raw = std::string("\x02\x31\x03\x00", 4); });
    vary([](EventRecord& r) { r.panel.clear(); });
    // A printer record: no line, no numbers; and one whose line bytes are the
    // printer text's (the split between the two must count).
    vary([](EventRecord& r) {
        r.reset(Protocol::SigmaPrn);
        r.printerText = "FEUER Gruppe 12";
    });
    vary([](EventRecord& r) {
        r.reset(Protocol::SigmaPrn);
        r.line = "FEUER Gruppe 12";
    });
    const std::vector<trace::ChunkTime> times{1796722669000000,
                                              std::nullopt,
                                              1796722669000001,
                                              0,
                                              -7,
                                              std::numeric_limits<std::int64_t>::max(),
                                              std::numeric_limits<std::int64_t>::min(),
                                              1796722669000000 + (1LL << 33)};

    EventStore store;
    std::vector<std::pair<std::size_t, trace::ChunkTime>> added;  // variant, time
    for (int round = 0; round < 2; ++round) {
        store.clear();
        added.clear();
        // Across several chunks of events, every variant with every time;
        // the odd times only in the first 4096 events, one event without a
        // time after them.
        for (std::size_t i = 0; i < 9000; ++i) {
            const std::size_t v = (i * 7) % variants.size();
            trace::ChunkTime t = 1796722669000000 + static_cast<std::int64_t>(i) * 28500;
            if (i < 4096 && i % 97 == 0) t = times[(i / 97) % times.size()];
            if (i == 4096) t.reset();
            store.add(variants[v], t);
            added.emplace_back(v, t);
        }
        ASSERT_EQ(store.size(), added.size());
        EXPECT_EQ(store.bodyCount(), variants.size());
        for (std::size_t i = 0; i < added.size(); ++i) {
            const auto& [v, t] = added[i];
            SCOPED_TRACE(testing::Message() << "round " << round << " event " << i << " variant " << v);
            const EventView e = store.at(i);
            expectSame(e, viewOf(variants[v], t));
            EXPECT_EQ(e.panel, variants[v].panel);
            EXPECT_EQ(store.timeAt(i), t);
            if (i >= variants.size()) {
                EXPECT_EQ(store.bodyId(i), store.bodyId(i - variants.size()));
            }
        }
    }
}

EventRecord alarm() {
    EventRecord r;
    r.reset(Protocol::Sdn);
    r.numberA = 1234;
    r.numberB = 3;
    r.stateText = "Alarm";
    r.line = "  1234       03    Alarm";
    r.raw =
        "\x02"
        "01:504030023\x03Z";
    return r;
}

TEST(EventWriters, JsonLinesAndPcapngBytes) {
    EventRecord r;
    r.reset(Protocol::Hekatron);
    r.numberA = -3;
    r.stateCode = 0x21;
    r.stateHex = "0021";
    r.stateText = "St\xF6rung";
    r.line = "a\"b\\c\x01\x7F";
    r.raw = "\x02";
    EXPECT_EQ(
        jsonEventLine(viewOf(r, std::nullopt)),
        "{\"Zeit\":null,\"Protokoll\":\"HEKATRON\",\"Vorzahl\":null,\"Linie\":-3,\"Melder\":null,\"Code\":33,"
        "\"Hex\":\"0021\",\"Zusatz\":null,\"Zustand\":\"St\xC3\xB6rung\",\"Ereignis\":"
        "\"a\\\"b\\\\c\\u0001\\u007f\","
        "\"Drucktext\":\"\",\"Telegramm\":\"02\"}\n");

    // One packet: the RTAC serial header (big-endian seconds and
    // microseconds, "data received", no control lines, no footer), the
    // telegram, padding, the event line as comment.
    r.reset(Protocol::Sm88);
    r.line = "A";
    r.raw = "\x02\x41";
    const std::string packet = makeEventWriter(ExportFormat::Pcapng)->event(viewOf(r, 3000001));
    EXPECT_EQ(packet, std::string("\x06\0\0\0"
                                  "\x3C\0\0\0"  // block type, length
                                  "\0\0\0\0"    // interface
                                  "\0\0\0\0"
                                  "\xC1\xC6\x2D\0"  // 3000001 us
                                  "\x0E\0\0\0"
                                  "\x0E\0\0\0"  // captured, original
                                  "\0\0\0\x03"
                                  "\0\0\0\x01"
                                  "\x02\0\0\0"
                                  "\x02\x41\0\0"  // packet
                                  "\x01\0\x01\0"
                                  "A\0\0\0"   // opt_comment
                                  "\0\0\0\0"  // end of options
                                  "\x3C\0\0\0",
                                  60));
    // The section starts with the byte-order magic and says where times come from.
    ExportOptions o;
    o.timesAreByteOffsets = true;
    o.source = "x.TRC";
    const std::string head = makeEventWriter(ExportFormat::Pcapng, o)->begin();
    EXPECT_EQ(head.substr(0, 12),
              std::string("\x0A\x0D\x0D\x0A", 4) + head.substr(4, 4) + "\x4D\x3C\x2B\x1A");
    EXPECT_NE(head.find("Zindra: Ereignisse aus x.TRC. Die Datei hat keine Zeiten"), std::string::npos);
    EXPECT_EQ(makeEventWriter(ExportFormat::Csv)->begin(),
              "\xEF\xBB\xBFZeit;Protokoll;Vorzahl;Linie;Melder;Code;Hex;Zusatz;Zustand;Ereignis;Drucktext;"
              "Telegramm\r\n");
}

TEST(EventWriters, AnExportIsCompleteUnderItsNameOrNotThere) {
    const fs::path dir =
        fs::temp_directory_path() /
        ("zindra-export-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    EventStore store;
    EventRecord r = alarm();
    for (int i = 0; i < 200000; ++i) {
        r.numberB = i;
        store.add(r, std::nullopt);
    }
    // The filtered rows only.
    const std::vector<std::uint32_t> rows{7, 199999};
    const ExportResult some = exportToFile((dir / "some.csv").string(), ExportFormat::Csv, store, &rows);
    EXPECT_TRUE(some.ok());
    EXPECT_EQ(some.events, 2u);
    EXPECT_EQ(fileText(dir / "some.csv"), makeEventWriter(ExportFormat::Csv)->begin() +
                                              csvEventLine(store.at(7)) + csvEventLine(store.at(199999)));
    // Cancelled half-way: nothing.
    std::size_t calls = 0;
    const ExportResult cancelled = exportToFile((dir / "all.jsonl").string(), ExportFormat::JsonLines, store,
                                                nullptr, {}, [&](std::size_t done, std::size_t total) {
                                                    EXPECT_EQ(total, 200000u);
                                                    EXPECT_LE(done, total);
                                                    return ++calls < 3;
                                                });
    EXPECT_TRUE(cancelled.cancelled);
    EXPECT_FALSE(cancelled.error);
    // A place that cannot be written: the reason, and nothing.
    const ExportResult bad = exportToFile((dir / "some.csv" / "x.csv").string(), ExportFormat::Csv, store);
    EXPECT_TRUE(bad.error);
#ifndef _WIN32
    EXPECT_EQ(bad.error, std::make_error_code(std::errc::not_a_directory));
#endif
    fs::create_directory(dir / "taken.pcapng");
    const ExportResult taken = exportToFile((dir / "taken.pcapng").string(), ExportFormat::Pcapng, store);
    EXPECT_TRUE(taken.error);
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"some.csv", "taken.pcapng"}));
    EXPECT_TRUE(fs::is_empty(dir / "taken.pcapng"));
    fs::remove_all(dir);
}

}  // namespace
}  // namespace zindra::events
