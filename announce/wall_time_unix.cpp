#include "announce/wall_time.h"

#include <ctime>

namespace announce {

int utcOffsetMinutes(int64_t unixSeconds) {
    const std::time_t t = static_cast<std::time_t>(unixSeconds);
    std::tm local{};
    if (!::localtime_r(&t, &local))
        return 0;
    return int(local.tm_gmtoff / 60);
}

} // namespace announce
