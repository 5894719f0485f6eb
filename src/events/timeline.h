// A trace or recording on the time axis: its events counted per time bin by
// kind, the gaps where the device was away, and the axis's labels.  Plain
// data, for the window's timeline and the report's picture alike.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "events/event_store.h"
#include "events/kinds.h"

namespace zindra::events {

// A span without data from the device (UTC microseconds).
struct TimeSpan {
    std::int64_t from = 0;
    std::int64_t to = 0;
};

struct TimelineBin {
    std::array<std::uint32_t, 4> counts{};  // by EventKind: Other, Alarm, Fault, Off
    std::uint32_t total() const { return counts[0] + counts[1] + counts[2] + counts[3]; }
};

// One label of the time axis: where (UTC microseconds) and what (local time,
// "22:00", "Di 08.12.", "08.12. 06:00").
struct TimelineTick {
    std::int64_t at = 0;
    std::string label;
};

class Timeline {
public:
    // The bin widths a timeline chooses from, in seconds: 1 s to a day.
    static constexpr std::array<std::int64_t, 14> Widths{1,   5,    10,   30,   60,    300,   600,
                                                         900, 1800, 3600, 7200, 10800, 21600, 86400};

    // The events of the store that have a time, from `from` to `to` (UTC
    // microseconds; the whole span of the events when not given), in at most
    // maxBins bins of the narrowest width that fits, aligned to local whole
    // units (a bin of an hour starts at a full hour).
    static Timeline build(const EventStore& store, const KindTable& kinds, std::vector<TimeSpan> gaps,
                          std::size_t maxBins = 120, std::optional<std::int64_t> from = std::nullopt,
                          std::optional<std::int64_t> to = std::nullopt);

    // Adds one event (a live update); a time past the end widens the span,
    // and the bins are coarsened when more than maxBins would be needed.
    void add(std::int64_t time, EventKind kind);

    bool empty() const { return bins_.empty(); }
    std::int64_t from() const { return from_; }  // the first bin's start
    std::int64_t to() const { return from_ + width_ * static_cast<std::int64_t>(bins_.size()); }
    std::int64_t binWidth() const { return width_; }  // microseconds
    const std::vector<TimelineBin>& bins() const { return bins_; }
    const std::vector<TimeSpan>& gaps() const { return gaps_; }
    // The bin of a time; nullopt outside the span.
    std::optional<std::size_t> binOf(std::int64_t time) const;
    std::uint32_t largestBin() const;
    // Labels for the axis, about `count` of them, at round local times.
    std::vector<TimelineTick> ticks(std::size_t count = 6) const;
    // "1 Minute", "15 Minuten", "1 Stunde", "1 Tag": the width of a bin.
    std::string widthText() const;

private:
    void place(std::int64_t start, std::int64_t end, std::size_t maxBins);

    std::int64_t from_ = 0;
    std::int64_t width_ = 0;
    std::size_t maxBins_ = 120;
    std::vector<TimelineBin> bins_;
    std::vector<TimeSpan> gaps_;
};

// Local midnight before (or at) a UTC time, and the local offset there.
std::int64_t localDayStart(std::int64_t utcMicros);

}  // namespace zindra::events
