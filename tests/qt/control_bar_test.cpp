// What the control bar writes and allows for each state of the engine.
#include "qt/control_bar.h"
#include "support/media.h"

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

TEST(ControlBar, TimeAndSeekFollowTheMedium) {
    const struct {
        const char* what;
        Transport state;
        QString elapsed, total;
        bool seek;
    } cases[] = {
        {"nothing open", {false, false, 12, 60.0, true}, u"00:00"_s, u""_s, false},
        {"a song", {true, false, 61.9, 245.2, true}, u"01:01"_s, u"04:05"_s, true},
        {"paused over an hour",
         {true, true, 3725.4, 3800.0, true},
         u"01:02:05"_s,
         u"01:03:20"_s,
         true},
        {"a live stream", {true, false, 75, std::nullopt, false}, u"01:15"_s, u""_s, false},
        {"length not yet known", {true, false, 0, std::nullopt, true}, u"00:00"_s, u""_s, false},
        {"a length but no seeking", {true, false, 3, 10.0, false}, u"00:03"_s, u"00:10"_s, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const TimeTexts texts = timeTexts(c.state);
        EXPECT_EQ(texts.elapsed, c.elapsed);
        EXPECT_EQ(texts.total, c.total);
        EXPECT_EQ(canSeek(c.state), c.seek);
    }
}
