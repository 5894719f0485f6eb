// The event list's core with a night's worth of events: filling a store
// with 1,000,000 events and filtering them, and exporting them.
//
// The events are the records every sample trace gives (all protocols),
// repeated with rising times and changing numbers until there are a
// million.  Memory is the store's own count (memoryBytes: slots, text
// table, byte blocks) and the process's resident size before and after.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "events/detectors.h"
#include "events/event_store.h"
#include "events/export.h"
#include "events/filter.h"
#include "events/report.h"
#include "events/timeline.h"
#include "null_pane.h"
#include "resident.h"
#include "trace/replay.h"
#include "trace/session.h"

namespace {

using namespace zindra;

constexpr std::size_t Million = 1000000;

using bench::NullPane;

class Collect final : public trace::EventListener {
public:
    void onEvent(const decoders::EventRecord& r, trace::ChunkTime) override { records.push_back(r); }
    std::vector<decoders::EventRecord> records;
};

const std::vector<decoders::EventRecord>& sampleRecords() {
    static const std::vector<decoders::EventRecord> records = [] {
        Collect c;
        for (const auto& e : std::filesystem::directory_iterator(ZINDRA_SAMPLES_DIR)) {
            if (e.path().extension() != ".TRC") continue;
            NullPane a, b, d;
            trace::Panes panes{a, b, d};
            trace::NullUi ui;
            trace::TraceSession session(panes, ui, trace::RoutingLimits::unlimited());
            session.eventListeners().add(c);
            trace::replayFile(session, e.path().string());
        }
        return c.records;
    }();
    return records;
}

void fill(events::EventStore& store, std::size_t n) {
    const auto& records = sampleRecords();
    decoders::EventRecord r;
    for (std::size_t i = 0; i < n; ++i) {
        r = records[i % records.size()];
        if (r.numberB) r.numberB = static_cast<std::int64_t>(i % 256);
        store.add(r, 1796722669000000 + static_cast<std::int64_t>(i) * 250000);
    }
}

void FillMillion(benchmark::State& st) {
    sampleRecords();
    std::size_t bytes = 0;
    double rss = 0;
    for (auto _ : st) {
        const double before = bench::residentBytes();
        events::EventStore store;
        fill(store, Million);
        bytes = store.memoryBytes();
        rss = bench::residentBytes() - before;
        benchmark::DoNotOptimize(store.size());
    }
    st.counters["store_bytes_per_event"] = static_cast<double>(bytes) / Million;
    st.counters["rss_MB"] = rss / 1e6;
    st.counters["sample_records"] = static_cast<double>(sampleRecords().size());
}
BENCHMARK(FillMillion)->Unit(benchmark::kMillisecond)->Iterations(3);

// The worst case for a store that shares repeated events: no two alike (the
// sample records with a Linie counting up).
void FillMillionUnique(benchmark::State& st) {
    const auto& records = sampleRecords();
    std::size_t bytes = 0;
    for (auto _ : st) {
        events::EventStore store;
        decoders::EventRecord r;
        for (std::size_t i = 0; i < Million; ++i) {
            r = records[i % records.size()];
            r.numberA = static_cast<std::int64_t>(i);
            store.add(r, 1796722669000000 + static_cast<std::int64_t>(i) * 250000);
        }
        bytes = store.memoryBytes();
        benchmark::DoNotOptimize(store.size());
    }
    st.counters["store_bytes_per_event"] = static_cast<double>(bytes) / Million;
}
BENCHMARK(FillMillionUnique)->Unit(benchmark::kMillisecond)->Iterations(3);

events::EventStore& millionStore() {
    static events::EventStore* store = [] {
        auto* s = new events::EventStore;
        fill(*s, Million);
        return s;
    }();
    return *store;
}

// The whole store in one go, and in slices of 50,000 as the window runs it.
void FilterMillion(benchmark::State& st, const char* text, std::size_t slice) {
    const events::FilterParse p = events::parseFilter(text);
    if (!p.ok()) {
        st.SkipWithError(p.error.c_str());
        return;
    }
    events::EventStore& store = millionStore();
    std::size_t matches = 0, slices = 0;
    for (auto _ : st) {
        events::FilterRun run(store, p.filter);
        slices = 0;
        while (!run.step(slice)) ++slices;
        matches = run.matches().size();
    }
    st.counters["matches"] = static_cast<double>(matches);
    st.counters["slices"] = static_cast<double>(slices + 1);
}

const bool registered = [] {
    const char* filters[] = {"Alarm",
                             "Linie=3",
                             "Zustand~St\xC3\xB6r",
                             "Linie=3 text~St\xC3\xB6r Melder<100",
                             "Telegramm~0D0A",
                             "Protokoll=SM88 Zustand!=Ruhe",
                             "nirgends"};
    for (const char* f : filters) {
        benchmark::RegisterBenchmark((std::string("FilterMillion/") + f).c_str(), FilterMillion, f, Million)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("FilterMillionInSlices/Alarm", FilterMillion, "Alarm", std::size_t{50000})
        ->Unit(benchmark::kMillisecond);
    return true;
}();

// The night at a glance over a million events: the timeline's bins and the
// detector table built from nothing, then one live event taken into both
// (the window's work per event while a trace runs), and the report's page.
void TimelineMillion(benchmark::State& st) {
    events::EventStore& store = millionStore();
    const events::KindTable kinds = events::KindTable::defaults();
    std::size_t bins = 0;
    for (auto _ : st) bins = events::Timeline::build(store, kinds, {}).bins().size();
    st.counters["bins"] = static_cast<double>(bins);
}
BENCHMARK(TimelineMillion)->Unit(benchmark::kMillisecond);

void DetectorsMillion(benchmark::State& st) {
    events::EventStore& store = millionStore();
    const events::KindTable kinds = events::KindTable::defaults();
    std::size_t rows = 0;
    for (auto _ : st) {
        events::DetectorTable table;
        table.update(store, kinds);
        rows = table.rows().size();
    }
    st.counters["detectors"] = static_cast<double>(rows);
}
BENCHMARK(DetectorsMillion)->Unit(benchmark::kMillisecond);

void LiveEventIntoTimelineAndDetectors(benchmark::State& st) {
    events::EventStore store;
    fill(store, Million);
    const events::KindTable kinds = events::KindTable::defaults();
    events::Timeline timeline = events::Timeline::build(store, kinds, {});
    events::DetectorTable table;
    table.update(store, kinds);
    const decoders::EventRecord r = sampleRecords().front();
    std::int64_t t = 1796722669000000 + static_cast<std::int64_t>(Million) * 250000;
    for (auto _ : st) {
        store.add(r, t += 250000);
        const events::EventView e = store.at(store.size() - 1);
        timeline.add(*e.time, kinds.kindOf(e));
        benchmark::DoNotOptimize(table.update(store, kinds));
    }
}
BENCHMARK(LiveEventIntoTimelineAndDetectors)->Unit(benchmark::kMicrosecond);

void ReportMillion(benchmark::State& st) {
    events::EventStore& store = millionStore();
    events::ReportSource source;
    source.name = "bench";
    std::size_t size = 0;
    for (auto _ : st) size = events::reportHtml(source, store, events::KindTable::defaults()).size();
    st.counters["html_KB"] = static_cast<double>(size) / 1e3;
}
BENCHMARK(ReportMillion)->Unit(benchmark::kMillisecond)->Iterations(1);

void ExportMillion(benchmark::State& st, events::ExportFormat format) {
    events::EventStore& store = millionStore();
    const std::string path = (std::filesystem::temp_directory_path() / "zindra-bench-export").string();
    std::uintmax_t size = 0;
    for (auto _ : st) {
        const events::ExportResult r = events::exportToFile(path, format, store);
        if (!r.ok()) st.SkipWithError("export failed");
        size = std::filesystem::file_size(path);
    }
    std::remove(path.c_str());
    st.counters["file_MB"] = static_cast<double>(size) / 1e6;
}
BENCHMARK_CAPTURE(ExportMillion, csv, events::ExportFormat::Csv)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(ExportMillion, jsonl, events::ExportFormat::JsonLines)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(ExportMillion, pcapng, events::ExportFormat::Pcapng)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
