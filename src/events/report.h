// A report to hand over after a watch: one self-contained HTML page in
// German (inline CSS and SVG, no scripts, nothing loaded from elsewhere) that
// opens in any browser and prints on A4: what was traced, the timeline, the
// counts per kind, the detectors with the most events, the gaps, and the
// alarm and fault events.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "events/event_store.h"
#include "events/kinds.h"
#include "events/timeline.h"

namespace zindra::events {

// What the report says about its source.  Texts are UTF-8.
struct ReportSource {
    std::string name;                        // the file or recording folder
    std::string port;                        // empty where not known (a trace file)
    std::string protocol;                    // the FAT's reply; empty when none was identified
    std::optional<std::int64_t> start, end;  // UTC microseconds, where known
    std::uint64_t bytes = 0;
    std::vector<TimeSpan> gaps;
    std::string endReason;  // why the recording ended, where known
    std::string program;    // "Zindra 0.1.0"
    std::int64_t madeAt = 0;
    std::vector<std::string> problems;  // damage found while reading
};

// The most alarm and fault events listed, and detectors shown.
inline constexpr std::size_t ReportEventLimit = 1000;
inline constexpr std::size_t ReportDetectorLimit = 20;

// The counts the report shows, for whoever checks them against an export.
struct ReportCounts {
    std::size_t events = 0;
    std::array<std::size_t, 4> byKind{};  // by EventKind
};
ReportCounts countEvents(const EventStore& store, const KindTable& kinds);

std::string reportHtml(const ReportSource& source, const EventStore& store, const KindTable& kinds);

// 1234567 as "1.234.567".
std::string germanNumber(std::uint64_t n);

}  // namespace zindra::events
