// A million events through the window's event list, offscreen, with its
// window shown: taking them in (the session's listener and the batched
// model insert), a filter run to its end in slices, and a sort by Linie.
// Reports the time of each step, the longest slice the event loop waited
// for, and the memory the process grew by.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTableView>
#include <algorithm>
#include <fstream>
#include <string>

#include "app/application.h"
#include "app/dialogs.h"
#include "app/event_list.h"
#include "app/event_list_model.h"
#include "app/event_tools.h"
#include "app/trace_window.h"
#include "bench_dialogs.h"

namespace {

using namespace zindra;

constexpr std::size_t Events = 1'000'000;

// Resident memory of this process in bytes.
double residentBytes() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * 4096.0;
}

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
        const double before = residentBytes();

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
        state.counters["memory_MB"] = (residentBytes() - before) / 1e6;

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

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    app::Application app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
