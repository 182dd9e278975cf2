#include "player/layout.h"

#include <cstdint>

namespace player {

// Rounds as the system's own MulDiv does, so both windows land on the same pixels.
int pixels(int twips, int dpi) {
    const int64_t product = int64_t(twips) * dpi;
    return int((product + (product < 0 ? -720 : 720)) / 1440);
}

Pixels pixels(const Twips& place, int dpi) {
    return {pixels(place.left, dpi), pixels(place.top, dpi), pixels(place.width, dpi),
            pixels(place.height, dpi)};
}

} // namespace player
