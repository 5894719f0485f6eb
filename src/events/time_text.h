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

// A moment in local time, broken down.
struct LocalParts {
    int year = 1970, month = 1, day = 1;  // month 1-12
    int weekday = 4;                      // 0 = Sunday
    int hour = 0, minute = 0, second = 0, millis = 0;
    long offsetSeconds = 0;  // local time minus UTC
};
LocalParts localParts(std::int64_t utcMicros);

// "08.12.2026 22:15:03" and "08.12. 22:15": local date and time as German
// readers write them.
std::string germanDateTime(std::int64_t utcMicros);
std::string germanShortDateTime(std::int64_t utcMicros);

}  // namespace zindra::events
