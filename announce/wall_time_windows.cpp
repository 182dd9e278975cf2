#include "announce/wall_time.h"

#include <ctime>

namespace announce {

int utcOffsetMinutes(int64_t unixSeconds) {
    const __time64_t t = unixSeconds;
    std::tm local{};
    if (_localtime64_s(&local, &t) != 0)
        return 0;
    // The local time read as if it were UTC, less the moment itself.
    const __time64_t asUtc = _mkgmtime64(&local);
    return asUtc == -1 ? 0 : int((asUtc - t) / 60);
}

} // namespace announce
