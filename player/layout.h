#pragma once

// The window as it was drawn, in twips (1440 to the inch), one table for both windows; each
// converts it to its own pixels.

#include <array>

namespace player {

struct Twips {
    int left, top, width, height;
};

struct Pixels {
    int left, top, width, height;
    bool operator==(const Pixels&) const = default;
};

struct Form {
    Twips client; // the client area, where it first shows on the screen
    Twips WindowsMediaPlayer1;
    std::array<Twips, 5> Text;
    Twips List1;
    Twips Label1;
};

inline constexpr Form kForm = {
    .client = {2835, 3210, 10380, 7065},
    .WindowsMediaPlayer1 = {0, 1500, 6585, 5535},
    .Text = {{{0, 0, 6615, 285},
              {0, 300, 6615, 285},
              {0, 600, 6615, 285},
              {0, 900, 6615, 285},
              {0, 1200, 6615, 285}}},
    .List1 = {6600, 0, 3795, 7080},
    .Label1 = {7230, 6330, 2355, 345},
};

// At dpi dots to the inch, rounded to the nearest pixel, a half away from zero; 96 is 15 twips
// to the pixel.
int pixels(int twips, int dpi);
Pixels pixels(const Twips& place, int dpi);

} // namespace player
