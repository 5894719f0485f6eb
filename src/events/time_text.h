// Event times as people and spreadsheets read them.  Times are UTC
// microseconds since 1970-01-01 (trace::ChunkTime); they are shown in the
// machine's local time.
#pragma once

#include <cstdint>
#include <string>

namespace zindra::events {

// "2026-12-08T10:37:49.123+01:00": ISO 8601, local time, milliseconds and
// the offset from UTC in force at that moment.
std::string isoTime(std::int64_t utcMicros);

// "10:37:49.123": local time of day with milliseconds, for the event pane.
std::string clockTime(std::int64_t utcMicros);

}  // namespace zindra::events
