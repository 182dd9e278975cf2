// List1's rows through a list's life: each step brings the engine's entries (named by id), then
// maybe lights a row.
#include "player/list_rows.h"

#include <gtest/gtest.h>

using player::ListRows;
using Change = ListRows::Change;

namespace {

struct Step {
    const char* what;
    std::vector<int64_t> ids;
    int light; // lit after the sync; -2 for untouched
    Change change;
    int highlight;
};

const Step kSteps[] = {
    {"a list opens", {1, 2, 3}, 2, {Change::Added, 0}, 2},
    {"the same entries again", {1, 2, 3}, -2, {}, 2},
    {"more of it came in: the rows above stay", {1, 2, 3, 4, 5}, -2, {Change::Added, 3}, 2},
    {"another list while that one still filled", {6, 7}, -2, {Change::Replaced, 0}, -1},
    {"lit", {6, 7}, 1, {}, 1},
    {"an entry expanded in the middle", {6, 11, 12, 7}, -2, {Change::Replaced, 0}, 1},
    {"lit past the end", {6, 11, 12, 7}, 4, {}, -1},
    {"cleared", {}, -2, {Change::Replaced, 0}, -1},
    {"still empty", {}, 0, {}, -1},
};

TEST(ListRows, FollowTheEngineKeepingWhatItKept) {
    ListRows rows;
    for (const Step& step : kSteps) {
        SCOPED_TRACE(step.what);
        std::vector<player::Entry> entries;
        for (int64_t id : step.ids)
            entries.push_back({id, "/m/" + std::to_string(id), "№" + std::to_string(id)});
        EXPECT_EQ(rows.sync(entries), step.change);
        if (step.light != -2)
            rows.setHighlight(step.light);
        EXPECT_EQ(rows.highlight(), step.highlight);

        ASSERT_EQ(rows.size(), int(entries.size()));
        for (int row = 0; row < rows.size(); ++row) {
            EXPECT_EQ(rows.name(row), entries[std::size_t(row)].name);
            EXPECT_EQ(rows.idAt(row), entries[std::size_t(row)].id); // what a double-click plays
        }
        EXPECT_EQ(rows.idAt(-1), -1); // nothing selected
        EXPECT_EQ(rows.idAt(rows.size()), -1);
        EXPECT_EQ(rows.name(rows.size()), "");
    }
}

} // namespace
