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
    const bool converted = localtime_s(&lt.tm, &t) == 0 && gmtime_s(&utc, &t) == 0;
#else
    const bool converted = localtime_r(&t, &lt.tm) != nullptr && gmtime_r(&t, &utc) != nullptr;
#endif
    if (!converted) {
        // A time the C library cannot convert (Windows refuses any before
        // 1970): shown in UTC, from the day count.
        const std::int64_t days = (seconds >= 0 ? seconds : seconds - 86399) / 86400;
        const std::int64_t secOfDay = seconds - days * 86400;
        const std::int64_t z = days + 719468;
        const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
        const std::int64_t doe = z - era * 146097;
        const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
        const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
        const std::int64_t mp = (5 * doy + 2) / 153;
        const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
        lt.tm = std::tm{};
        lt.tm.tm_year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0) - 1900);
        lt.tm.tm_mon = static_cast<int>(month - 1);
        lt.tm.tm_mday = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
        lt.tm.tm_hour = static_cast<int>(secOfDay / 3600);
        lt.tm.tm_min = static_cast<int>(secOfDay % 3600 / 60);
        lt.tm.tm_sec = static_cast<int>(secOfDay % 60);
        return lt;
    }
    // The offset without timegm or tm_gmtoff, which not every C library has:
    // the difference of the two broken-down times, at most a day apart.
    long diff = (lt.tm.tm_hour - utc.tm_hour) * 3600L + (lt.tm.tm_min - utc.tm_min) * 60L +
                (lt.tm.tm_sec - utc.tm_sec);
    if (lt.tm.tm_yday != utc.tm_yday) {
        const bool localAhead =
            lt.tm.tm_year > utc.tm_year || (lt.tm.tm_year == utc.tm_year && lt.tm.tm_yday > utc.tm_yday);
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
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03d", lt.tm.tm_hour, lt.tm.tm_min, lt.tm.tm_sec,
                  lt.millis);
    return buf;
}

LocalParts localParts(std::int64_t utcMicros) {
    const LocalTime lt = localTime(utcMicros);
    LocalParts p;
    p.year = lt.tm.tm_year + 1900;
    p.month = lt.tm.tm_mon + 1;
    p.day = lt.tm.tm_mday;
    p.weekday = lt.tm.tm_wday;
    p.hour = lt.tm.tm_hour;
    p.minute = lt.tm.tm_min;
    p.second = lt.tm.tm_sec;
    p.millis = lt.millis;
    p.offsetSeconds = lt.offsetSeconds;
    return p;
}

std::string germanDateTime(std::int64_t utcMicros) {
    const LocalParts p = localParts(utcMicros);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%02d.%02d.%04d %02d:%02d:%02d", p.day, p.month, p.year, p.hour, p.minute,
                  p.second);
    return buf;
}

std::string germanShortDateTime(std::int64_t utcMicros) {
    const LocalParts p = localParts(utcMicros);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d.%02d. %02d:%02d", p.day, p.month, p.hour, p.minute);
    return buf;
}

}  // namespace zindra::events
