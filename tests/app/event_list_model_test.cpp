// The event list's model on its own: a list long enough to be sorted off the
// event loop ends in the order of a plain stable sort, keeps its old order
// until then, and takes in exactly once every event that arrived meanwhile.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPersistentModelIndex>
#include <algorithm>
#include <numeric>
#include <optional>
#include <string>
#include <vector>

#include "app/event_list_model.h"
#include "events/event_store.h"

namespace zindra::app {
namespace {

using decoders::EventRecord;
using decoders::Protocol;
using M = EventListModel;

// Ties in every column, events without a Linie or a time, printer records
// (their text in the state column), two protocols.
EventRecord eventNo(std::size_t i) {
    static const char* const states[] = {"Ruhe", "St\xF6rung", "Alarm", ""};
    EventRecord r;
    r.reset(i % 3 == 0 ? Protocol::Ugm : Protocol::Sdn);
    if (i % 11 != 0) r.numberA = static_cast<std::int64_t>(i % 37);
    r.numberB = static_cast<std::int64_t>(i % 5);
    r.stateText = states[i % 4];
    if (r.stateText.empty()) r.printerText = "Drucker " + std::to_string(i % 7);
    r.line = "Linie " + std::to_string(i % 37);
    return r;
}

trace::ChunkTime timeNo(std::size_t i) {
    if (i % 13 == 0) return std::nullopt;
    return 1796722669000000 + static_cast<std::int64_t>((i * 7919) % 1000) * 1000;
}

void add(events::EventStore& store, std::size_t n) {
    for (std::size_t i = store.size(), end = store.size() + n; i < end; ++i) store.add(eventNo(i), timeNo(i));
}

std::vector<std::size_t> rowsOf(const M& m) {
    std::vector<std::size_t> rows;
    for (int r = 0; r < m.rowCount(); ++r) rows.push_back(m.eventAt(r));
    return rows;
}

// The order a plain stable sort gives the events (all, or those of `only`).
std::vector<std::size_t> stableSorted(const events::EventStore& s, int column, Qt::SortOrder order,
                                      std::vector<std::size_t> only = {}) {
    if (only.empty()) {
        only.resize(s.size());
        std::iota(only.begin(), only.end(), std::size_t{0});
    }
    std::vector<events::EventView> views(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) views[i] = s.at(i);
    const auto less = [&](std::size_t a, std::size_t b) {
        const events::EventView &x = views[a], &y = views[b];
        switch (column) {
            case M::TimeColumn: return x.time < y.time;
            case M::LinieColumn: return x.numberA < y.numberA;
            case M::MelderColumn: return x.numberB < y.numberB;
            case M::ProtocolColumn: return x.panelName() < y.panelName();
            default:
                return (x.stateText.empty() ? x.printerText : x.stateText) <
                       (y.stateText.empty() ? y.printerText : y.stateText);
        }
    };
    std::stable_sort(only.begin(), only.end(), [&](std::size_t a, std::size_t b) {
        return order == Qt::AscendingOrder ? less(a, b) : less(b, a);
    });
    return only;
}

bool settle(const M& m) {
    QElapsedTimer t;
    t.start();
    while ((m.sorting() || m.filtering()) && t.elapsed() < 30000) QCoreApplication::processEvents();
    return !m.sorting() && !m.filtering();
}

TEST(EventListModel, ALongSortEndsAsAStableSortWithEveryEventThatCameMeanwhileOnce) {
    events::EventStore store;
    add(store, 20000);
    M model(store);
    model.setAsyncSortFrom(1000);
    model.sync();
    const QPersistentModelIndex chosen = model.index(4321, 0);

    struct Case {
        int column;
        Qt::SortOrder order;
        std::size_t meanwhile;  // events added while the sort runs
    };
    // None; a few (sorted into the result); many (sorted again).
    const Case cases[] = {
        {M::LinieColumn, Qt::DescendingOrder, 0},   {M::StateColumn, Qt::AscendingOrder, 100},
        {M::TimeColumn, Qt::DescendingOrder, 3000}, {M::ProtocolColumn, Qt::AscendingOrder, 40},
        {M::TimeColumn, Qt::AscendingOrder, 0},     {M::MelderColumn, Qt::DescendingOrder, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "column " << c.column << " order " << c.order);
        const std::vector<std::size_t> before = rowsOf(model);
        model.sort(c.column, c.order);
        ASSERT_TRUE(model.sorting());
        EXPECT_LE(model.sortProgress(), 100);
        QCoreApplication::processEvents();
        if (model.sorting()) {
            EXPECT_EQ(rowsOf(model), before) << "the old order until the new one is ready";
        }
        add(store, c.meanwhile);
        model.sync();
        ASSERT_TRUE(settle(model));
        EXPECT_EQ(model.rowCount(), static_cast<int>(store.size()));
        EXPECT_EQ(rowsOf(model), stableSorted(store, c.column, c.order));
        EXPECT_EQ(model.eventAt(chosen.row()), 4321u) << "a chosen row follows its event";
    }

    // New events into the sorted list: a few each in its place, many by
    // sorting again.
    for (const std::size_t n : {5, 300}) {
        add(store, n);
        model.sync();
        ASSERT_TRUE(settle(model));
        EXPECT_EQ(rowsOf(model), stableSorted(store, M::MelderColumn, Qt::DescendingOrder)) << n;
    }

    // A sort given up for another before it ends; then a filter over a sorted
    // list, whose matches come in sorted.
    model.sort(M::LinieColumn, Qt::AscendingOrder);
    model.sort(M::StateColumn, Qt::DescendingOrder);
    ASSERT_TRUE(settle(model));
    EXPECT_EQ(rowsOf(model), stableSorted(store, M::StateColumn, Qt::DescendingOrder));
    ASSERT_FALSE(model.setFilterText(QStringLiteral("Linie<20")).has_value());
    ASSERT_TRUE(settle(model));
    std::vector<std::size_t> matches;
    for (std::size_t e = 0; e < store.size(); ++e) {
        if (store.at(e).numberA && *store.at(e).numberA < 20) matches.push_back(e);
    }
    ASSERT_EQ(model.matchCount(), matches.size());
    EXPECT_EQ(rowsOf(model), stableSorted(store, M::StateColumn, Qt::DescendingOrder, matches));

    // A model closed while its sort runs leaves no thread behind.
    {
        M other(store);
        other.setAsyncSortFrom(1000);
        other.sync();
        other.sort(M::TimeColumn, Qt::AscendingOrder);
        for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    }
    // And a store emptied under a running sort gives an empty list.
    model.setFilterText(QString());
    model.sort(M::LinieColumn, Qt::AscendingOrder);
    store.clear();
    model.reset();
    ASSERT_TRUE(settle(model));
    EXPECT_EQ(model.rowCount(), 0);
    add(store, 10);
    model.sync();
    EXPECT_EQ(rowsOf(model), stableSorted(store, M::LinieColumn, Qt::AscendingOrder));
}

}  // namespace
}  // namespace zindra::app
