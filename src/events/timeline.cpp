#include "events/timeline.h"

#include <algorithm>
#include <cstdio>

#include "events/time_text.h"

namespace zindra::events {
namespace {

constexpr std::int64_t Second = 1000000;

// Floor division for times before 1970 too.
std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

// The start of the local unit of `width` that holds t: whole local minutes,
// hours and days, whatever the offset from UTC.
std::int64_t alignDown(std::int64_t t, std::int64_t width) {
    const std::int64_t offset = localParts(t).offsetSeconds * Second;
    return floorDiv(t + offset, width) * width - offset;
}

const char* const Weekdays[7] = {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"};

}  // namespace

std::int64_t localDayStart(std::int64_t utcMicros) { return alignDown(utcMicros, 86400 * Second); }

void Timeline::place(std::int64_t start, std::int64_t end, std::size_t maxBins) {
    maxBins_ = std::max<std::size_t>(maxBins, 1);
    if (end < start) end = start;
    for (const std::int64_t w : Widths) {
        width_ = w * Second;
        from_ = alignDown(start, width_);
        const auto needed = static_cast<std::size_t>(floorDiv(end - from_, width_) + 1);
        if (needed <= maxBins_ || w == Widths.back()) {
            bins_.assign(needed, TimelineBin{});
            return;
        }
    }
}

Timeline Timeline::build(const EventStore& store, const KindTable& kinds, std::vector<TimeSpan> gaps,
                         std::size_t maxBins, std::optional<std::int64_t> from,
                         std::optional<std::int64_t> to) {
    Timeline t;
    t.gaps_ = std::move(gaps);
    std::optional<std::int64_t> first = from, last = to;
    if (!first || !last) {
        for (std::size_t i = 0; i < store.size(); ++i) {
            const trace::ChunkTime time = store.timeAt(i);
            if (!time) continue;
            if (!from) first = std::min(first.value_or(*time), *time);
            if (!to) last = std::max(last.value_or(*time), *time);
        }
        for (const TimeSpan& g : t.gaps_) {
            if (!from) first = std::min(first.value_or(g.from), g.from);
            if (!to) last = std::max(last.value_or(g.to), g.to);
        }
    }
    if (!first || !last) return t;
    t.place(*first, *last, maxBins);
    for (std::size_t i = 0; i < store.size(); ++i) {
        const EventView e = store.at(i);
        if (!e.time) continue;
        if (const auto bin = t.binOf(*e.time))
            ++t.bins_[*bin].counts[static_cast<std::size_t>(kinds.kindOf(e))];
    }
    return t;
}

void Timeline::add(std::int64_t time, EventKind kind) {
    if (bins_.empty()) {
        place(time, time, maxBins_);
    } else if (time >= to()) {
        // Wider bins when the span outgrows them: the counts are summed into
        // the new bins they fall in.
        const std::vector<TimelineBin> old = std::move(bins_);
        const std::int64_t oldFrom = from_, oldWidth = width_;
        place(from_, time, maxBins_);
        for (std::size_t i = 0; i < old.size(); ++i) {
            const auto bin = binOf(oldFrom + oldWidth * static_cast<std::int64_t>(i));
            if (!bin) continue;
            for (std::size_t k = 0; k < 4; ++k) bins_[*bin].counts[k] += old[i].counts[k];
        }
    }
    if (const auto bin = binOf(time)) ++bins_[*bin].counts[static_cast<std::size_t>(kind)];
}

std::optional<std::size_t> Timeline::binOf(std::int64_t time) const {
    if (bins_.empty() || time < from_ || time >= to()) return std::nullopt;
    return static_cast<std::size_t>((time - from_) / width_);
}

std::uint32_t Timeline::largestBin() const {
    std::uint32_t most = 0;
    for (const TimelineBin& b : bins_) most = std::max(most, b.total());
    return most;
}

std::vector<TimelineTick> Timeline::ticks(std::size_t count) const {
    std::vector<TimelineTick> out;
    if (bins_.empty() || count == 0) return out;
    const std::int64_t span = to() - from_;
    // The narrowest round step that gives at most `count` labels.
    std::int64_t step = Widths.back() * Second;
    for (const std::int64_t w : Widths) {
        if (w * Second >= width_ && span / (w * Second) <= static_cast<std::int64_t>(count)) {
            step = w * Second;
            break;
        }
    }
    const bool days = step >= 86400 * Second;
    const bool spansDays = localDayStart(from_) != localDayStart(to() - 1);
    for (std::int64_t at = alignDown(from_, step); at <= to(); at += step) {
        if (at < from_) continue;
        const LocalParts p = localParts(at);
        char buf[40];
        if (days) {
            std::snprintf(buf, sizeof buf, "%s %02d.%02d.", Weekdays[p.weekday % 7], p.day, p.month);
        } else if (spansDays && p.hour == 0 && p.minute == 0) {
            std::snprintf(buf, sizeof buf, "%s %02d.%02d.", Weekdays[p.weekday % 7], p.day, p.month);
        } else if (step < 60 * Second) {
            std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", p.hour, p.minute, p.second);
        } else {
            std::snprintf(buf, sizeof buf, "%02d:%02d", p.hour, p.minute);
        }
        out.push_back({at, buf});
    }
    return out;
}

std::string Timeline::widthText() const {
    const std::int64_t s = width_ / Second;
    const auto unit = [](std::int64_t n, const char* one, const char* many) {
        return std::to_string(n) + " " + (n == 1 ? one : many);
    };
    if (s % 86400 == 0) return unit(s / 86400, "Tag", "Tage");
    if (s % 3600 == 0) return unit(s / 3600, "Stunde", "Stunden");
    if (s % 60 == 0) return unit(s / 60, "Minute", "Minuten");
    return unit(s, "Sekunde", "Sekunden");
}

}  // namespace zindra::events
