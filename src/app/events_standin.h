// TEMPORARY: replaced by the event core's headers once merged.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "decoders/event_record.h"
#include "events/event_row.h"
#include "trace/routing.h"

namespace zindra::events {

class EventStore {
public:
    void add(const decoders::EventRecord& r, trace::ChunkTime t) {
        records_.push_back(r);
        times_.push_back(t);
    }
    std::size_t size() const { return records_.size(); }
    decoders::EventRecord record(std::size_t i) const { return records_[i]; }
    trace::ChunkTime time(std::size_t i) const { return times_[i]; }
    void clear() {
        records_.clear();
        times_.clear();
    }

private:
    std::vector<decoders::EventRecord> records_;
    std::vector<trace::ChunkTime> times_;
};

class Filter {
public:
    bool matches(const decoders::EventRecord& r, trace::ChunkTime) const {
        return text_.empty() || r.line.find(text_) != std::string::npos ||
               r.stateText.find(text_) != std::string::npos || r.printerText.find(text_) != std::string::npos;
    }
    bool empty() const { return text_.empty(); }
    std::string text_;
};

struct FilterParse {
    std::optional<Filter> filter;
    std::string error;
};
inline FilterParse parseFilter(std::string_view utf8) {
    if (utf8.find('=') == 0) return {std::nullopt, "Feldname fehlt vor '='"};
    Filter f;
    f.text_ = std::string(utf8);
    return {f, {}};
}

enum class Kind { Other, Alarm, Fault, Off };
class KindTable {
public:
    Kind kindOf(std::string_view s) const {
        if (s.find("Alarm") != std::string_view::npos) return Kind::Alarm;
        if (s.find("St\xF6r") != std::string_view::npos) return Kind::Fault;
        if (s.find("Abschalt") != std::string_view::npos || s.find("aus") != std::string_view::npos) return Kind::Off;
        return Kind::Other;
    }
};

class AlertMatcher {
public:
    explicit AlertMatcher(std::vector<Filter> rules = {}) : rules_(std::move(rules)), last_(rules_.size()) {}
    std::vector<std::size_t> fire(const decoders::EventRecord& r, trace::ChunkTime t, std::int64_t nowMicros) {
        std::vector<std::size_t> fired;
        for (std::size_t i = 0; i < rules_.size(); ++i) {
            if (!rules_[i].matches(r, t)) continue;
            if (last_[i] && nowMicros - *last_[i] < 60'000'000) continue;
            last_[i] = nowMicros;
            fired.push_back(i);
        }
        return fired;
    }
    std::size_t size() const { return rules_.size(); }

private:
    std::vector<Filter> rules_;
    std::vector<std::optional<std::int64_t>> last_;
};

}  // namespace zindra::events

#include <fstream>
namespace zindra::events {
enum class ExportFormat { Csv, Jsonl, Pcapng };
// Empty on success, else why.
inline std::string writeEvents(const std::string& path, ExportFormat, const EventStore& store,
                               const std::vector<std::size_t>& which) {
    std::ofstream out(path, std::ios::binary);
    if (!out) return "cannot open";
    out << CsvBom << csvHeader();
    for (std::size_t e : which) out << csvEventLine(store.record(e), store.time(e));
    return out ? std::string() : "write failed";
}
}  // namespace zindra::events
