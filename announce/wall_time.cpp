#include "announce/wall_time.h"

#include <chrono>
#include <cstdio>

namespace announce {
namespace {

// Days since 1970-01-01 as a date of the proleptic Gregorian calendar.
void civilFromDays(int64_t days, int64_t& year, unsigned& month, unsigned& day) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned dayOfEra = unsigned(days - era * 146097);
    const unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
    day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    year = int64_t(yearOfEra) + era * 400 + (month <= 2);
}

int64_t floorDiv(int64_t a, int64_t b) {
    return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

} // namespace

WallTime wallTimeNow() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const int64_t ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
    return {ms, utcOffsetMinutes(floorDiv(ms, 1000))};
}

std::string isoText(const WallTime& time) {
    const int64_t localMs = time.unixMs + int64_t(time.offsetMinutes) * 60000;
    const int64_t days = floorDiv(localMs, 86400000);
    const int64_t msOfDay = localMs - days * 86400000;
    int64_t year = 0;
    unsigned month = 0, day = 0;
    civilFromDays(days, year, month, day);
    char text[64];
    int length =
        std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02d:%02d:%02d.%03d",
                      static_cast<long long>(year), month, day, int(msOfDay / 3600000),
                      int(msOfDay / 60000 % 60), int(msOfDay / 1000 % 60), int(msOfDay % 1000));
    if (time.offsetMinutes == 0)
        return std::string(text, std::size_t(length)) + "Z";
    const int offset = time.offsetMinutes < 0 ? -time.offsetMinutes : time.offsetMinutes;
    length += std::snprintf(text + length, sizeof text - std::size_t(length), "%c%02d:%02d",
                            time.offsetMinutes < 0 ? '-' : '+', offset / 60, offset % 60);
    return std::string(text, std::size_t(length));
}

} // namespace announce
