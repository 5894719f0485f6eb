// The night on the time axis: bins and counts by kind across local midnight
// with a gap, live updates, the axis's labels, and the report's numbers.
#include "events/timeline.h"

#include <gtest/gtest.h>

#include "events/central_european_time.h"
#include "events/detectors.h"
#include "events/report.h"

namespace zindra::events {
namespace {

// 2026-12-08 23:00:00 CET, as UTC microseconds.
constexpr std::int64_t Eleven = 1796767200LL * 1000000;
constexpr std::int64_t Minute = 60LL * 1000000;

decoders::EventRecord event(std::int64_t linie, const char* state) {
    decoders::EventRecord r;
    r.protocol = decoders::Protocol::Ugm;
    r.numberA = linie;
    r.numberB = 7;
    r.stateText = state;
    r.line = std::string("line ") + state;
    return r;
}

// The tests run in the one suite that sets the time zone (see
// central_european_time.h).
struct Night {
    EventStore store;
    KindTable kinds = KindTable::defaults();
    Night() {
        // 23:00 to 01:30: an alarm each 10 minutes on Linie 3, a fault at
        // 23:59:30 and 00:00:30, an untimed event; a gap 00:10 to 00:40.
        for (int m = 0; m < 150; m += 10) store.add(event(3, "Alarm"), Eleven + m * Minute);
        store.add(event(5, "St\xF6rung"), Eleven + 59 * Minute + 30 * 1000000);
        store.add(event(5, "St\xF6rung"), Eleven + 60 * Minute + 30 * 1000000);
        store.add(event(9, "Linie aus"), std::nullopt);
    }
};

TEST_F(CentralEuropeanTime, NightBinsCountEachKindAndTheAxisNamesMidnight) {
    Night n;
    EventStore& store = n.store;
    const KindTable& kinds = n.kinds;
    const Timeline t = Timeline::build(store, kinds, {{Eleven + 70 * Minute, Eleven + 100 * Minute}}, 60);
    // 2.5 hours in at most 60 bins: 5-minute bins from 23:00.
    EXPECT_EQ(t.binWidth(), 5 * Minute);
    EXPECT_EQ(t.from(), Eleven);
    ASSERT_EQ(t.bins().size(), 29u);
    std::array<std::uint32_t, 4> sum{};
    for (const TimelineBin& b : t.bins())
        for (std::size_t k = 0; k < 4; ++k) sum[k] += b.counts[k];
    EXPECT_EQ(sum[static_cast<std::size_t>(EventKind::Alarm)], 15u);
    EXPECT_EQ(sum[static_cast<std::size_t>(EventKind::Fault)], 2u);
    EXPECT_EQ(sum[static_cast<std::size_t>(EventKind::Off)], 0u);  // no time, no bin
    // The faults either side of midnight fall into the bins either side of it.
    EXPECT_EQ(t.bins()[11].counts[static_cast<std::size_t>(EventKind::Fault)], 1u);
    EXPECT_EQ(t.bins()[12].counts[static_cast<std::size_t>(EventKind::Fault)], 1u);
    EXPECT_EQ(*t.binOf(Eleven + 60 * Minute), 12u);
    EXPECT_FALSE(t.binOf(Eleven - 1).has_value());
    EXPECT_EQ(t.gaps().size(), 1u);
    EXPECT_EQ(t.widthText(), "5 Minuten");
    std::vector<std::string> labels;
    for (const TimelineTick& tick : t.ticks(6)) labels.push_back(tick.label);
    EXPECT_EQ(labels, (std::vector<std::string>{"23:00", "23:30", "Mi 09.12.", "00:30", "01:00"}));
    EXPECT_EQ(localDayStart(Eleven + 90 * Minute), Eleven + 60 * Minute);
}

TEST_F(CentralEuropeanTime, NightLiveEventsWidenTheSpanAndCoarsenTheBins) {
    Night n;
    EventStore& store = n.store;
    const KindTable& kinds = n.kinds;
    Timeline t = Timeline::build(store, kinds, {}, 60);
    t.add(Eleven + 10 * 60 * Minute, EventKind::Alarm);  // 09:00 the next morning
    EXPECT_EQ(t.binWidth(), 15 * Minute);
    EXPECT_LE(t.bins().size(), 60u);
    std::uint32_t alarms = 0;
    for (const TimelineBin& b : t.bins()) alarms += b.counts[static_cast<std::size_t>(EventKind::Alarm)];
    EXPECT_EQ(alarms, 16u);
    Timeline empty;
    empty.add(Eleven, EventKind::Fault);
    EXPECT_EQ(empty.bins().size(), 1u);
}

TEST_F(CentralEuropeanTime, NightTheDetectorTableCountsPerDetectorAndFollowsNewEvents) {
    Night n;
    EventStore& store = n.store;
    const KindTable& kinds = n.kinds;
    DetectorTable table;
    EXPECT_EQ(table.update(store, kinds), (std::vector<std::size_t>{0, 1, 2}));
    ASSERT_EQ(table.rows().size(), 3u);
    const DetectorRow& linie3 = table.rows()[0];
    EXPECT_EQ(linie3.linie, 3);
    EXPECT_EQ(linie3.melder, 7);
    EXPECT_EQ(linie3.byKind[static_cast<std::size_t>(EventKind::Alarm)], 15u);
    EXPECT_EQ(linie3.first, Eleven);
    EXPECT_EQ(linie3.last, Eleven + 140 * Minute);
    EXPECT_EQ(table.rows()[2].first, std::nullopt);  // its only event has no time
    EXPECT_EQ(table.busiest(), (std::vector<std::size_t>{0, 1, 2}));
    // A live event changes only its own row; an emptied store starts anew.
    store.add(event(5, "Alarm"), Eleven + 200 * Minute);
    EXPECT_EQ(table.update(store, kinds), (std::vector<std::size_t>{1}));
    EXPECT_EQ(table.rows()[1].lastState, "Alarm");
    EXPECT_EQ(table.rows()[1].total, 3u);
    store.clear();
    store.add(event(8, "Alarm"), std::nullopt);
    table.update(store, kinds);
    ASSERT_EQ(table.rows().size(), 1u);
    EXPECT_EQ(table.rows()[0].linie, 8);
}

TEST_F(CentralEuropeanTime, NightTheReportCountsWhatTheStoreHoldsWithGermanNumbers) {
    Night n;
    EventStore& store = n.store;
    const KindTable& kinds = n.kinds;
    const ReportCounts c = countEvents(store, kinds);
    EXPECT_EQ(c.events, 18u);
    EXPECT_EQ(c.byKind[static_cast<std::size_t>(EventKind::Off)], 1u);
    EXPECT_EQ(germanNumber(7577117), "7.577.117");
    EXPECT_EQ(germanNumber(999), "999");
    ReportSource src;
    src.name = "Nacht <1>";
    src.start = Eleven;
    src.end = Eleven + 150 * Minute;
    const std::string html = reportHtml(src, store, kinds);
    EXPECT_NE(html.find("<td class=\"n\">15</td><td class=\"n\">2</td><td class=\"n\">1</td>"),
              std::string::npos);
    EXPECT_NE(html.find("Nacht &lt;1&gt;"), std::string::npos);
    EXPECT_NE(html.find("St\xC3\xB6rung"), std::string::npos);  // UTF-8
    // Nothing from elsewhere: no scripts, links, imports or addresses.
    for (const char* outside : {"http:", "https:", "file:", "src=", "href=", "<script", "@import", "<link"})
        EXPECT_EQ(html.find(outside), std::string::npos) << outside;
    for (std::size_t at = html.find("url("); at != std::string::npos; at = html.find("url(", at + 1))
        EXPECT_EQ(html.compare(at, 5, "url(#"), 0) << html.substr(at, 40);
}

}  // namespace
}  // namespace zindra::events
