#include "events/time_text.h"

#include <cstdio>
#include <ctime>

namespace zindra::events {
namespace {

struct LocalTime {
    std::tm tm{};
    int millis = 0;
    long offsetSeconds = 0;  // local time minus UTC
};

// Floor division, so times before 1970 still split into second and fraction.
LocalTime localTime(std::int64_t utcMicros) {
    std::int64_t seconds = utcMicros / 1000000;
    std::int64_t micros = utcMicros % 1000000;
    if (micros < 0) {
        micros += 1000000;
        --seconds;
    }
    const auto t = static_cast<std::time_t>(seconds);
    LocalTime lt;
    lt.millis = static_cast<int>(micros / 1000);
    std::tm utc{};
#ifdef _WIN32
    localtime_s(&lt.tm, &t);
    gmtime_s(&utc, &t);
#else
    localtime_r(&t, &lt.tm);
    gmtime_r(&t, &utc);
#endif
    // The offset without timegm or tm_gmtoff, which not every C library has:
    // the difference of the two broken-down times, at most a day apart.
    long diff = (lt.tm.tm_hour - utc.tm_hour) * 3600L + (lt.tm.tm_min - utc.tm_min) * 60L +
                (lt.tm.tm_sec - utc.tm_sec);
    if (lt.tm.tm_yday != utc.tm_yday) {
        const bool localAhead = lt.tm.tm_year > utc.tm_year ||
                                (lt.tm.tm_year == utc.tm_year && lt.tm.tm_yday > utc.tm_yday);
        diff += localAhead ? 86400L : -86400L;
    }
    lt.offsetSeconds = diff;
    return lt;
}

}  // namespace

std::string isoTime(std::int64_t utcMicros) {
    const LocalTime lt = localTime(utcMicros);
    const long off = lt.offsetSeconds < 0 ? -lt.offsetSeconds : lt.offsetSeconds;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02ld:%02ld", lt.tm.tm_year + 1900,
                  lt.tm.tm_mon + 1, lt.tm.tm_mday, lt.tm.tm_hour, lt.tm.tm_min, lt.tm.tm_sec, lt.millis,
                  lt.offsetSeconds < 0 ? '-' : '+', off / 3600, off % 3600 / 60);
    return buf;
}

std::string clockTime(std::int64_t utcMicros) {
    const LocalTime lt = localTime(utcMicros);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03d", lt.tm.tm_hour, lt.tm.tm_min, lt.tm.tm_sec, lt.millis);
    return buf;
}

}  // namespace zindra::events
