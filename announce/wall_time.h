#pragma once

// The time of day where the user is, as a song file tells when a track started.

#include <cstdint>
#include <string>

namespace announce {

struct WallTime {
    int64_t unixMs = 0;    // milliseconds since 1970-01-01 UTC
    int offsetMinutes = 0; // the local time's offset from UTC then
};

// Now, by the system's clock and time zone. One implementation of the offset per OS.
WallTime wallTimeNow();

// ISO 8601 with milliseconds and the offset: "2024-05-01T21:04:05.123+03:00"; UTC ends in "Z".
std::string isoText(const WallTime& time);

// The local time's offset from UTC at the given moment, in minutes.
int utcOffsetMinutes(int64_t unixSeconds);

} // namespace announce
