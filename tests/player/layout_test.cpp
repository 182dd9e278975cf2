// The window's places from twips to pixels, at the usual scale and above it.
#include "player/layout.h"

#include <gtest/gtest.h>

namespace {

using player::kForm;
using player::Pixels;

TEST(Layout, TwipsBecomePixelsAsTheSystemRoundsThem) {
    struct Case {
        int twips, dpi, pixels;
    };
    const Case cases[] = {
        {1500, 96, 100}, {7, 96, 0},     {8, 96, 1},       {-8, 96, -1},
        {285, 144, 29},  {300, 120, 25}, {6585, 192, 878},
    };
    for (const Case& c : cases)
        EXPECT_EQ(player::pixels(c.twips, c.dpi), c.pixels) << c.twips << " at " << c.dpi;
}

// At 96 dots to the inch, the window as the Linux program lays it out.
TEST(Layout, TheFormAtTheUsualScale) {
    const std::pair<player::Twips, Pixels> places[] = {
        {kForm.client, {189, 214, 692, 471}}, {kForm.WindowsMediaPlayer1, {0, 100, 439, 369}},
        {kForm.Text[0], {0, 0, 441, 19}},     {kForm.Text[4], {0, 80, 441, 19}},
        {kForm.List1, {440, 0, 253, 472}},    {kForm.Label1, {482, 422, 157, 23}},
    };
    for (const auto& [twips, expected] : places)
        EXPECT_EQ(player::pixels(twips, 96), expected) << twips.left << ", " << twips.top;
}

} // namespace
