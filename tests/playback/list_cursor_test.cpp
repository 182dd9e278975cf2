// Stepping through the list: on, back, past either end, in list order and in random order.
#include "playback/list_cursor.h"

#include "support/case_name.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

using playback::ListCursor;

namespace {

using Ids = std::vector<int64_t>;
enum class Step { First, Next, Previous };

struct StepCase {
    const char* what;
    bool loop;
    bool shuffle;
    Step step;
    int64_t from;
    std::optional<int64_t> expected;
    Ids played = {}; // opened and loaded, in this order
    Ids failed = {}; // opened, never loaded
    Ids ids = {1, 2, 3};
    Ids added = {}; // at the end, after the rest played
};

void PrintTo(const StepCase& c, std::ostream* out) {
    *out << c.what;
}

constexpr auto kNone = std::nullopt;

const StepCase kSteps[] = {
    {"in order the first is the top", false, false, Step::First, -1, 1},
    {"in order next is the entry below", false, false, Step::Next, 1, 2},
    {"in order next from the last without Repeat is none", false, false, Step::Next, 3, kNone},
    {"in order next from the last with Repeat is the first", true, false, Step::Next, 3, 1},
    {"next from an entry not in the list is the first", false, false, Step::Next, 99, 1},
    {"in order previous is the entry above", false, false, Step::Previous, 3, 2},
    {"previous from the first without Repeat is none", false, false, Step::Previous, 1, kNone},
    {"previous from the first with Repeat is the last", true, false, Step::Previous, 1, 3},
    {"an empty list has no first", true, true, Step::First, -1, kNone, {}, {}, {}},
    {"an empty list has no next even with Repeat", true, false, Step::Next, -1, kNone, {}, {}, {}},
    {"at random the first is one not yet played", false, true, Step::First, -1, 3, {1, 2}},
    {"at random next is the one not yet played", false, true, Step::Next, 3, 2, {1, 3}},
    {"a failed entry counts as played", false, true, Step::Next, 3, 2, {3}, {1}},
    {"the pass over without Repeat is the end", false, true, Step::Next, 3, kNone, {1, 2, 3}},
    {"the pass over with Repeat begins another, not with the entry playing",
     true,
     true,
     Step::Next,
     2,
     1,
     {1, 2},
     {},
     {1, 2}},
    {"a pass of nothing but failures is not gone round again",
     true,
     true,
     Step::Next,
     2,
     kNone,
     {},
     {1, 2},
     {1, 2}},
    {"at random previous is the one that played before", false, true, Step::Previous, 1, 3, {3, 1}},
    {"at random previous at the start of the pass is none",
     true,
     true,
     Step::Previous,
     3,
     kNone,
     {3}},
    {"in order next from the last reaches entries added since",
     false,
     false,
     Step::Next,
     2,
     3,
     {},
     {},
     {1, 2},
     {3}},
    {"in random order entries added since play in the same pass",
     false,
     true,
     Step::Next,
     2,
     3,
     {1, 2},
     {},
     {1, 2},
     {3}},
};

class ListCursorTable : public testing::TestWithParam<StepCase> {};

TEST_P(ListCursorTable, Steps) {
    const StepCase& c = GetParam();
    ListCursor cursor(7);
    cursor.setEntries(c.ids);
    cursor.setLoop(c.loop);
    cursor.setShuffle(c.shuffle);
    for (const int64_t id : c.played) {
        cursor.started(id);
        cursor.loaded(id);
    }
    for (const int64_t id : c.failed)
        cursor.started(id);
    cursor.addEntries(c.added);
    switch (c.step) {
    case Step::First:
        EXPECT_EQ(cursor.first(), c.expected);
        break;
    case Step::Next:
        EXPECT_EQ(cursor.next(c.from), c.expected);
        break;
    case Step::Previous:
        EXPECT_EQ(cursor.previous(c.from), c.expected);
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, ListCursorTable, testing::ValuesIn(kSteps),
                         testsupport::NameByWhat());

// Round from the last to the first in list order, by the cursor or by the engine itself: the
// random pass starts again, so turning random order on then finds entries left to play.
TEST(ListCursorRound, GoingRoundBeginsANewPass) {
    for (const bool byTheEngine : {false, true}) {
        SCOPED_TRACE(byTheEngine);
        ListCursor cursor(7);
        cursor.setEntries({1, 2});
        cursor.setLoop(true);
        for (const int64_t id : {1, 2}) {
            cursor.started(id);
            cursor.loaded(id);
        }
        if (byTheEngine)
            cursor.wentOnFrom(2);
        else
            ASSERT_EQ(cursor.next(2), 1);
        cursor.setLoop(false);
        cursor.setShuffle(true);
        EXPECT_TRUE(cursor.next(1).has_value());
        cursor.reset();
        EXPECT_FALSE(cursor.next(1).has_value()) << "a reset leaves no list";
    }
}

} // namespace
