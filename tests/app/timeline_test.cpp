// The timeline above the event list, offscreen: a click on a bar chooses its
// first event, a drag filters the list to the span with the filter's own
// time condition, and the filter's matches are marked per bar.
#include "app/timeline_view.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTableView>
#include <QTest>

#include "app/detector_overview.h"
#include "app/event_list.h"
#include "app/event_list_model.h"
#include "events/central_european_time.h"
#include "gui_support.h"

namespace zindra::app {
namespace {

constexpr std::int64_t Eleven = 1796767200LL * 1000000;  // 2026-12-08 23:00 CET
constexpr std::int64_t Minute = 60LL * 1000000;

struct Timeline : events::CentralEuropeanTime {
    events::EventStore store;
    EventListModel model{store};
    EventListWindow list{model, nullptr};

    void SetUp() override {
        // An event a minute from 23:00 to 00:59; Linie 5 every tenth is a fault.
        for (int m = 0; m < 120; ++m) {
            decoders::EventRecord r;
            r.protocol = decoders::Protocol::Ugm;
            r.numberA = m % 10 == 0 ? 5 : 3;
            r.numberB = 1;
            r.stateText = m % 10 == 0 ? "St\xF6rung" : "Alarm";
            r.line = "line";
            store.add(r, Eleven + m * Minute);
        }
        model.sync();
        list.resize(900, 520);
        list.show();
        list.timeline().setGaps({{Eleven + 30 * Minute, Eleven + 40 * Minute}});
    }
    TimelineView& view() { return list.timeline(); }
    int xOf(std::size_t bin) { return view().binLeft(bin) + 2; }
};

TEST_F(Timeline, AClickChoosesTheBinsFirstEventAndADragFiltersToTheSpan) {
    const events::Timeline& t = view().timeline();
    ASSERT_FALSE(t.empty());
    ASSERT_EQ(t.binWidth(), Minute);  // 2 hours in at most 120 bins
    EXPECT_EQ(t.gaps().size(), 1u);

    QTest::mouseClick(&view(), Qt::LeftButton, {}, QPoint(xOf(61), view().height() / 2));
    const QModelIndex current = list.table().currentIndex();
    ASSERT_TRUE(current.isValid());
    EXPECT_EQ(model.eventAt(current.row()), 61u);

    // 23:10 to 23:19 (bins 10 to 19) dragged, right to left.
    QTest::mousePress(&view(), Qt::LeftButton, {}, QPoint(xOf(19), view().height() / 2));
    QTest::mouseMove(&view(), QPoint(xOf(15), view().height() / 2));
    QTest::mouseRelease(&view(), Qt::LeftButton, {}, QPoint(xOf(10), view().height() / 2));
    EXPECT_EQ(list.filterBox().text(), QStringLiteral("Zeit>=2026-12-08T23:10:00 Zeit<2026-12-08T23:20:00"));
    ASSERT_TRUE(testing::waitUntil([&] { return !model.filtering(); }, 3000));
    EXPECT_EQ(model.matchCount(), 10u);

    // A second drag replaces the time condition, the rest of the filter stays.
    list.filterBox().setText(QStringLiteral("Linie=5 ") + list.filterBox().text());
    list.filterSpan(Eleven + 60 * Minute, Eleven + 120 * Minute);
    EXPECT_EQ(list.filterBox().text(),
              QStringLiteral("Linie=5 Zeit>=2026-12-09T00:00:00 Zeit<2026-12-09T01:00:00"));
    ASSERT_TRUE(testing::waitUntil([&] { return !model.filtering(); }, 3000));
    EXPECT_EQ(model.matchCount(), 6u);
    // The matches are marked in their bins, and a live event joins its bin.
    view().refresh();
    EXPECT_EQ(view().matchesPerBin()[60], 1u);
    EXPECT_EQ(view().matchesPerBin()[61], 0u);
    decoders::EventRecord late;
    late.numberA = 3;
    late.stateText = "Alarm";
    store.add(late, Eleven + 119 * Minute + 1);
    model.sync();
    view().refresh();
    EXPECT_EQ(view().timeline().bins()[119].total(), 2u);
}

// The detector overview: a row per detector, sorted by any column, following
// new events; a double-click gives the filter for the detector's events.
TEST_F(Timeline, TheOverviewCountsPerDetectorAndFiltersTheListToOne) {
    DetectorOverview overview(model, nullptr);
    overview.refresh();
    ASSERT_EQ(overview.model().rowCount(), 2);
    QTableView& view = overview.view();
    // Sorted by the total, most first: Linie 3 (108 alarms), then Linie 5.
    EXPECT_EQ(view.model()->index(0, DetectorModel::Linie).data().toLongLong(), 3);
    EXPECT_EQ(view.model()->index(0, DetectorModel::Alarm).data().toULongLong(), 108u);
    EXPECT_EQ(view.model()->index(1, DetectorModel::Fault).data().toULongLong(), 12u);
    EXPECT_EQ(view.model()->index(1, DetectorModel::Last).data().toString(),
              QStringLiteral("09.12.2026 00:50:00"));
    view.sortByColumn(DetectorModel::Linie, Qt::DescendingOrder);
    EXPECT_EQ(view.model()->index(0, DetectorModel::Linie).data().toLongLong(), 5);

    QString chosen;
    QObject::connect(&overview, &DetectorOverview::detectorChosen, [&](const QString& f) { chosen = f; });
    overview.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&overview));
    const QRect cell = view.visualRect(view.model()->index(0, DetectorModel::Linie));
    // A double-click as a mouse gives it: a click, then the double-click.
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(chosen, QStringLiteral("Protokoll=UGM Linie=5 Melder=1"));
    list.filterBox().setText(chosen);
    list.applyFilter();
    ASSERT_TRUE(testing::waitUntil([&] { return !model.filtering(); }, 3000));
    EXPECT_EQ(model.matchCount(), 12u);

    // A new detector comes live; the counts stay those of the whole store.
    decoders::EventRecord r;
    r.protocol = decoders::Protocol::Ugm;
    r.numberA = 9;
    r.numberB = 2;
    r.stateText = "Linie aus";
    store.add(r, Eleven + 121 * Minute);
    model.sync();
    overview.refresh();
    EXPECT_EQ(overview.model().rowCount(), 3);
    EXPECT_EQ(overview.model().table().rows()[2].byKind[static_cast<std::size_t>(events::EventKind::Off)],
              1u);
}

}  // namespace
}  // namespace zindra::app
