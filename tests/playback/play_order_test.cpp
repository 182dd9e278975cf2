// Random order, one pass at a time, and the lists nested inside a list.
#include "playback/play_order.h"

#include "support/case_name.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <tuple>
#include <vector>

using playback::Nesting;
using playback::RandomPass;

namespace {

using Ids = std::vector<int64_t>;

Ids sorted(Ids ids) {
    std::sort(ids.begin(), ids.end());
    return ids;
}

struct PassCase {
    const char* what;
    Ids entries;
    Ids playedFirst = {}; // started and loaded before the random picks: by hand, or in order
    Ids failedFirst = {}; // started, but never loaded
    int64_t avoid = -1;   // asked not to come first
    Ids playedLater = {}; // by hand, after the first pick
};

void PrintTo(const PassCase& c, std::ostream* out) {
    *out << c.what;
}

const PassCase kPasses[] = {
    {"one entry plays once", {7}},
    {"two entries play once each", {1, 2}},
    {"six entries play once each", {1, 2, 3, 4, 5, 6}},
    {"entries played by hand are not picked again", {1, 2, 3, 4, 5, 6}, {3, 5}},
    {"an entry that failed counts as played", {1, 2, 3}, {}, {2}},
    {"the entry to avoid never comes first while another is left", {1, 2}, {}, {}, 1},
    {"the entry to avoid plays when it is all that is left", {1}, {}, {}, 1},
    {"ids need not be in order or close", {900, 4, 77}},
    {"an entry played by hand after the first pick is not picked again",
     {1, 2, 3, 4},
     {},
     {},
     1,
     {3}},
};

class RandomPassTable : public testing::TestWithParam<PassCase> {};

// Every seed: the picks are each entry not yet played exactly once, then none; over the seeds,
// more than one entry comes first.
TEST_P(RandomPassTable, PicksEachEntryLeftExactlyOnce) {
    const PassCase& c = GetParam();
    Ids left;
    for (const int64_t id : c.entries) {
        if (std::count(c.playedFirst.begin(), c.playedFirst.end(), id) == 0 &&
            std::count(c.failedFirst.begin(), c.failedFirst.end(), id) == 0 &&
            std::count(c.playedLater.begin(), c.playedLater.end(), id) == 0)
            left.push_back(id);
    }
    std::set<int64_t> firsts;
    for (unsigned seed = 0; seed < 40; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937_64 rng(seed);
        RandomPass pass;
        pass.setEntries(c.entries);
        for (const int64_t id : c.playedFirst) {
            pass.started(id);
            pass.loaded(id);
        }
        for (const int64_t id : c.failedFirst)
            pass.started(id);
        Ids picks;
        while (const auto next = pass.next(rng, picks.empty() ? c.avoid : -1)) {
            ASSERT_LE(picks.size(), c.entries.size()) << "the pass never ends";
            picks.push_back(*next);
            pass.started(*next);
            pass.loaded(*next);
            if (picks.size() == 1) {
                for (const int64_t id : c.playedLater) {
                    if (id == *next)
                        picks.pop_back(); // it came first: it counts as played later
                    pass.started(id);
                }
            }
        }
        EXPECT_EQ(sorted(picks), sorted(left));
        if (left.size() > 1 && c.avoid >= 0) {
            EXPECT_NE(picks.front(), c.avoid);
        }
        if (!picks.empty())
            firsts.insert(picks.front());
        EXPECT_FALSE(pass.next(rng).has_value()) << "a second look at a finished pass";
    }
    if (c.playedLater.empty()) {
        const std::size_t couldComeFirst = left.size() - (c.avoid >= 0 && left.size() > 1 ? 1 : 0);
        EXPECT_EQ(firsts.size(), couldComeFirst) << "some entry never came first in 40 passes";
    }
}

INSTANTIATE_TEST_SUITE_P(Table, RandomPassTable, testing::ValuesIn(kPasses),
                         testsupport::NameByWhat());

TEST(RandomPassLife, ANewPassBeginsWithTheNextStartAfterTheLastOrWhenAsked) {
    std::mt19937_64 rng(1);
    RandomPass pass;
    pass.setEntries({1, 2});
    for (int i = 0; i < 2; ++i) {
        const auto id = pass.next(rng);
        ASSERT_TRUE(id);
        pass.started(*id);
    }
    EXPECT_FALSE(pass.next(rng));
    pass.started(2); // a start after the pass is over begins the next one
    EXPECT_EQ(pass.next(rng), 1);
    pass.newPass();
    EXPECT_EQ(sorted({*pass.next(rng), *pass.next(rng)}), (Ids{1, 2}));
    pass.reset();
    EXPECT_FALSE(pass.next(rng)) << "a reset leaves no entries";
}

TEST(RandomPassLife, AnEntryExpandedMidPassGivesWayToItsOwnEntries) {
    std::mt19937_64 rng(2);
    RandomPass pass;
    pass.setEntries({1, 2, 3});
    pass.started(1);
    pass.loaded(1);
    const auto first = pass.next(rng); // fills the pool with 2 and 3
    ASSERT_TRUE(first);
    pass.started(*first);
    // Entry 2 was a list: it is gone, and 4 and 5 stand in its place.
    pass.setEntries({1, 4, 5, 3});
    Ids picks;
    while (const auto next = pass.next(rng)) {
        picks.push_back(*next);
        pass.started(*next);
    }
    EXPECT_EQ(sorted(picks), *first == 3 ? (Ids{4, 5}) : (Ids{3, 4, 5}));
}

TEST(RandomPassLife, PreviousGoesBackThroughWhatLoadedInThisPass) {
    RandomPass pass;
    pass.setEntries({1, 2, 3});
    EXPECT_FALSE(pass.previous()) << "nothing played";
    for (const int64_t id : {3, 1, 1, 2}) // loaded twice in a row counts once
        pass.loaded(id);
    EXPECT_EQ(pass.previous(), 1);
    EXPECT_EQ(pass.previous(), 3);
    EXPECT_FALSE(pass.previous()) << "back at the first";
    EXPECT_TRUE(pass.anyLoaded());
    pass.newPass();
    EXPECT_FALSE(pass.anyLoaded());
}

// Lists within lists: ids 1..3 from the opened list; a list reached inside replaced by its own.
struct NestCase {
    const char* what;
    std::vector<std::tuple<int64_t, std::string, int64_t, int>> expansions; // id, list, first, n
    int64_t id;
    std::string path;
    bool mayOpen;
};

const NestCase kNests[] = {
    {"an entry of the opened list", {}, 2, "/m/a.ogg", true},
    {"the opened list inside itself", {}, 2, "/m/top.m3u", false},
    {"the opened list by another spelling", {}, 2, "/m/sub/../top.m3u", false},
    {"an entry not from any list", {}, 99, "/m/top.m3u", true},
    {"a list inside a list", {}, 2, "/m/inner.m3u", true},
    {"the outer list two levels down", {{2, "/m/inner.m3u", 4, 2}}, 5, "/m/top.m3u", false},
    {"the inner list inside itself", {{2, "/m/inner.m3u", 4, 2}}, 4, "/m/./inner.m3u", false},
    {"a sibling list two levels down", {{2, "/m/inner.m3u", 4, 2}}, 4, "/m/other.m3u", true},
    {"an address is never a list we came from", {}, 2, "http://x/top.m3u", true},
    {"an expansion into nothing changes nothing",
     {{2, "/m/inner.m3u", 4, 0}},
     4,
     "/m/top.m3u",
     true},
};

class NestingTable : public testing::TestWithParam<NestCase> {};

TEST_P(NestingTable, RefusesAListItCameFrom) {
    const NestCase& c = GetParam();
    Nesting nesting;
    nesting.listLoaded("/m/top.m3u", 1, 3);
    for (const auto& [id, list, first, count] : c.expansions)
        nesting.expanded(id, list, first, count);
    EXPECT_EQ(nesting.mayOpen(c.id, c.path), c.mayOpen);
}

INSTANTIATE_TEST_SUITE_P(Table, NestingTable, testing::ValuesIn(kNests), testsupport::NameByWhat());

TEST(NestingDepth, EightLevelsOpenAndTheNinthDoesNot) {
    Nesting nesting;
    nesting.listLoaded("/m/deep1.m3u", 1, 2); // entry 2 is the next level's list
    int64_t list = 2;
    for (int level = 2; level <= 9; ++level) {
        const std::string path = "/m/deep" + std::to_string(level) + ".m3u";
        EXPECT_TRUE(nesting.mayOpen(list, path)) << "the list of level " << level;
        const int64_t first = level * 10;
        nesting.expanded(list, path, first, 2);
        EXPECT_EQ(nesting.mayOpen(first, "/m/beep.ogg"), level <= Nesting::kMaxDepth) << level;
        list = first + 1;
    }
    nesting.reset();
    EXPECT_TRUE(nesting.mayOpen(list, "/m/deep1.m3u")) << "a new Open forgets the old lists";
}

} // namespace
