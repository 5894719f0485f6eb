// Events through the window's event list, offscreen, with its window shown:
// taking them in (the session's listener and the batched model insert), a
// filter run to its end in slices, and sorts.  Reports the time of each step,
// the longest turn of the event loop, and the memory the process grew by.
//
// MillionEventsInTheList: a million SDN events of a night.
// WeekendInTheList/N: N events of a weekend's watch (7,577,117 for a 60-hour
// UGM recording at 9600 baud): the UGM sample's telegrams repeated, from 256
// detectors, one every 28 ms.  Sorts by Linie and by Zustand are timed to
// their end with the longest event-loop turn while they run; the store's own
// count gives the bytes per event.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTableView>
#include <algorithm>
#include <filesystem>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <fstream>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/dialogs.h"
#include "app/event_list.h"
#include "app/event_list_model.h"
#include "app/event_tools.h"
#include "app/trace_window.h"
#include "bench_dialogs.h"
#include "null_pane.h"
#include "resident.h"
#include "trace/replay.h"
#include "trace/session.h"

namespace {

using namespace zindra;

constexpr std::size_t Events = 1'000'000;

// Resident memory of this process in bytes.
// SDN events as a night brings them: mostly Ruhe, some faults, few alarms.
decoders::EventRecord event(std::size_t i) {
    static const char* const states[] = {"Ruhe", "Ruhe", "Ruhe", "St\xF6rung", "Abschaltung", "Alarm"};
    decoders::EventRecord r;
    r.reset(decoders::Protocol::Sdn);
    r.numberA = static_cast<std::int64_t>(i % 997);
    r.numberB = static_cast<std::int64_t>(i % 61);
    r.stateText = states[i % 6];
    char line[64];
    std::snprintf(line, sizeof line, "%6lld       %02lld    %s", static_cast<long long>(*r.numberA),
                  static_cast<long long>(*r.numberB), r.stateText.c_str());
    r.line = line;
    r.raw =
        "\x02"
        "01:504030023"
        "\x03"
        "Z";
    return r;
}

void MillionEventsInTheList(benchmark::State& state) {
    bench::FixedDialogs dialogs;
    for (auto _ : state) {
        app::TraceWindow window(dialogs, QStringLiteral("/nonexistent/ZINDRA.INI"));
        app::EventTools& tools = window.eventTools();
        tools.showList();
        QCoreApplication::processEvents();
        const double before = bench::residentBytes();

        QElapsedTimer t;
        t.start();
        const std::int64_t start = 1'800'000'000'000'000;
        for (std::size_t i = 0; i < Events; ++i) {
            tools.onEvent(event(i), start + static_cast<std::int64_t>(i) * 1000);
            // The model takes them in batches, as the sync timer does.
            if (i % 10000 == 9999) tools.sync();
        }
        tools.sync();
        QCoreApplication::processEvents();
        state.counters["fill_ms"] = static_cast<double>(t.elapsed());
        state.counters["memory_MB"] = (bench::residentBytes() - before) / 1e6;

        app::EventListModel& model = tools.model();
        t.restart();
        model.setFilterText(QStringLiteral("Linie<100 Zustand~St\u00F6r"));
        qint64 longest = 0;
        while (model.filtering()) {
            QElapsedTimer slice;
            slice.start();
            QCoreApplication::processEvents();
            longest = std::max(longest, slice.elapsed());
        }
        state.counters["filter_ms"] = static_cast<double>(t.elapsed());
        state.counters["filter_longest_turn_ms"] = static_cast<double>(longest);
        state.counters["matches"] = static_cast<double>(model.matchCount());

        t.restart();
        model.setFilterText(QString());
        tools.listWindow().table().sortByColumn(app::EventListModel::LinieColumn, Qt::DescendingOrder);
        QCoreApplication::processEvents();
        state.counters["unfilter_and_sort_ms"] = static_cast<double>(t.elapsed());
    }
}
BENCHMARK(MillionEventsInTheList)->Unit(benchmark::kMillisecond)->Iterations(1);

class Collect final : public trace::EventListener {
public:
    void onEvent(const decoders::EventRecord& r, trace::ChunkTime) override { records.push_back(r); }
    std::vector<decoders::EventRecord> records;
};

std::vector<decoders::EventRecord> ugmRecords() {
    Collect c;
    bench::NullPane a, b, d;
    trace::Panes panes{a, b, d};
    trace::NullUi ui;
    trace::TraceSession session(panes, ui, trace::RoutingLimits::unlimited());
    session.eventListeners().add(c);
    trace::replayFile(session, std::string(ZINDRA_SAMPLES_DIR) + "/ugm.TRC");
    return c.records;
}

// Runs the event loop until done() holds; the longest turn in ms.
template <typename Done>
qint64 runUntil(Done done) {
    qint64 longest = 0;
    do {
        QElapsedTimer turn;
        turn.start();
        QCoreApplication::processEvents();
        longest = std::max(longest, turn.elapsed());
    } while (!done());
    return longest;
}

// Whether a sort still runs (the model may sort off the event loop).
template <typename Model>
bool sorting(const Model& m) {
    if constexpr (requires { m.sorting(); }) {
        return m.sorting();
    } else {
        return false;
    }
}

// Sorts by column through the view, to its end: time and longest turn.
void timedSort(benchmark::State& state, app::EventTools& tools, int column, const char* name) {
    app::EventListModel& model = tools.model();
    QElapsedTimer t;
    t.start();
    QElapsedTimer first;
    first.start();
    tools.listWindow().table().sortByColumn(column, Qt::AscendingOrder);
    qint64 longest = first.elapsed();
    longest = std::max(longest, runUntil([&] { return !sorting(model); }));
    state.counters[std::string(name) + "_ms"] = static_cast<double>(t.elapsed());
    state.counters[std::string(name) + "_longest_turn_ms"] = static_cast<double>(longest);
}

void WeekendInTheList(benchmark::State& state) {
    bench::FixedDialogs dialogs;
    const std::vector<decoders::EventRecord> records = ugmRecords();
    const auto events = static_cast<std::size_t>(state.range(0));
    for (auto _ : state) {
        app::TraceWindow window(dialogs, QStringLiteral("/nonexistent/ZINDRA.INI"));
        app::EventTools& tools = window.eventTools();
        tools.showList();
        QCoreApplication::processEvents();
        const double before = bench::residentBytes();

        QElapsedTimer t;
        t.start();
        const std::int64_t start = 1'800'000'000'000'000;
        decoders::EventRecord r;
        for (std::size_t i = 0; i < events; ++i) {
            r = records[i % records.size()];
            if (r.numberB) r.numberB = static_cast<std::int64_t>((i / records.size()) % 256);
            tools.onEvent(r, start + static_cast<std::int64_t>(i) * 28500);
            if (i % 10000 == 9999) tools.sync();
        }
        tools.sync();
        QCoreApplication::processEvents();
        state.counters["fill_ms"] = static_cast<double>(t.elapsed());
        state.counters["memory_MB"] = (bench::residentBytes() - before) / 1e6;
        state.counters["store_bytes_per_event"] =
            static_cast<double>(tools.store().memoryBytes()) / static_cast<double>(events);

        app::EventListModel& model = tools.model();
        t.restart();
        model.setFilterText(QStringLiteral("Melder<64"));
        qint64 longest = runUntil([&] { return !model.filtering() && !sorting(model); });
        state.counters["filter_ms"] = static_cast<double>(t.elapsed());
        state.counters["filter_longest_turn_ms"] = static_cast<double>(longest);
        state.counters["matches"] = static_cast<double>(model.matchCount());
        // With a condition on the time, every event is looked at.
        t.restart();
        model.setFilterText(QStringLiteral("Zeit>2000-01-01 Melder<64"));
        longest = runUntil([&] { return !model.filtering() && !sorting(model); });
        state.counters["filter_time_ms"] = static_cast<double>(t.elapsed());
        state.counters["filter_time_longest_turn_ms"] = static_cast<double>(longest);
        model.setFilterText(QString());
        runUntil([&] { return !model.filtering() && !sorting(model); });

        timedSort(state, tools, app::EventListModel::LinieColumn, "sort_linie");
        timedSort(state, tools, app::EventListModel::StateColumn, "sort_zustand");
        timedSort(state, tools, app::EventListModel::TimeColumn, "sort_zeit");
        state.counters["memory_after_MB"] = (bench::residentBytes() - before) / 1e6;
#ifdef __GLIBC__
        // What of that the allocator keeps for reuse rather than the list.
        malloc_trim(0);
        state.counters["memory_after_trim_MB"] = (bench::residentBytes() - before) / 1e6;
#endif
    }
}
BENCHMARK(WeekendInTheList)->Arg(1'000'000)->Arg(7'577'117)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    app::Application app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
