#include "announce/announce_delay.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <vector>

using announce::AnnounceDelay;

namespace {

// 's' a start, 'r' play going on after its own pause, 'p' a pause, 'e' stopped, skipped or over,
// 'h' told by hand.
struct Event {
    char kind;
    int64_t at;
};

// Feeds the events in time order, with a timer that fires exactly when it is due; returns when
// announcements were made.
std::vector<int64_t> run(int64_t delay, const std::vector<Event>& events, int64_t until) {
    AnnounceDelay d(delay);
    std::optional<int64_t> alarm;
    std::vector<int64_t> told;
    auto apply = [&](AnnounceDelay::Step step, int64_t now) {
        EXPECT_EQ(d.wakeIn(now), step.wakeInMs) << "the timer asked for, read again at " << now;
        if (step.announce)
            told.push_back(now);
        alarm = step.wakeInMs ? std::optional(now + *step.wakeInMs) : std::nullopt;
    };
    auto fireUpTo = [&](int64_t time) {
        while (alarm && *alarm <= time) {
            const int64_t now = *alarm;
            apply(d.elapsed(now), now);
        }
    };
    for (const Event& e : events) {
        fireUpTo(e.at);
        switch (e.kind) {
        case 's':
        case 'r':
            apply(d.started(e.at, e.kind == 'r'), e.at);
            break;
        case 'p':
            apply(d.paused(e.at), e.at);
            break;
        case 'e':
            apply(d.ended(), e.at);
            break;
        case 'h':
            apply(d.told(), e.at);
            break;
        }
    }
    fireUpTo(until);
    return told;
}

struct DelayCase {
    const char* what;
    int64_t delay;
    std::vector<Event> events;
    std::vector<int64_t> told;
};

class Delay : public testing::TestWithParam<DelayCase> {};

TEST_P(Delay, TellsATrackOnlyOnceItHasReallyPlayedTheDelay) {
    const DelayCase& c = GetParam();
    EXPECT_EQ(run(c.delay, c.events, 1000000), c.told) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Events, Delay,
    testing::Values(
        DelayCase{"no delay: every start and every resume at once",
                  0,
                  {{'s', 0}, {'p', 1000}, {'r', 1100}, {'e', 1500}, {'s', 2000}},
                  {0, 1100, 2000}},
        DelayCase{"told once it has played the delay", 5000, {{'s', 0}}, {5000}},
        DelayCase{"skipped before the delay: only the next is told",
                  5000,
                  {{'s', 0}, {'e', 3000}, {'s', 3000}},
                  {8000}},
        DelayCase{"a new title before the delay replaces the one waiting",
                  5000,
                  {{'s', 0}, {'s', 2000}},
                  {7000}},
        DelayCase{"stopped a moment before the delay", 5000, {{'s', 0}, {'e', 4999}}, {}},
        DelayCase{"paused for good", 5000, {{'s', 0}, {'p', 4000}}, {}},
        DelayCase{"a pause stops the clock and play goes on with it",
                  5000,
                  {{'s', 0}, {'p', 3000}, {'r', 60000}},
                  {62000}},
        DelayCase{"two pauses",
                  5000,
                  {{'s', 0}, {'p', 2000}, {'r', 3000}, {'p', 4000}, {'r', 10000}},
                  {12000}},
        DelayCase{"a short pause after it was told: not told again",
                  5000,
                  {{'s', 0}, {'p', 6000}, {'r', 9000}},
                  {5000}},
        DelayCase{"a pause longer than the delay: a start like any other",
                  5000,
                  {{'s', 0}, {'p', 6000}, {'r', 12000}},
                  {5000, 17000}},
        DelayCase{"play going on with nothing waiting is a start", 5000, {{'r', 0}}, {5000}},
        DelayCase{"told by hand while it waits", 5000, {{'s', 0}, {'h', 1000}}, {}},
        DelayCase{"told by hand while paused, then a short pause",
                  5000,
                  {{'s', 0}, {'p', 1000}, {'h', 2000}, {'r', 3000}},
                  {}}),
    [](const testing::TestParamInfo<DelayCase>& info) { return std::to_string(info.index); });

TEST(DelayTimer, ATimerThatComesEarlyIsArmedForTheRest) {
    AnnounceDelay d(5000);
    EXPECT_EQ(d.started(0, false).wakeInMs, 5000);
    const AnnounceDelay::Step early = d.elapsed(4900);
    EXPECT_FALSE(early.announce);
    EXPECT_EQ(early.wakeInMs, 100);
    const AnnounceDelay::Step due = d.elapsed(5000);
    EXPECT_TRUE(due.announce);
    EXPECT_FALSE(due.wakeInMs.has_value());
    EXPECT_FALSE(d.elapsed(9000).announce); // only once
}

} // namespace
