#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <unordered_set>
#include <vector>

namespace playback {

// Random order, one pass at a time: every entry of the list plays once per pass. Entries are
// known by their engine ids, which stay with them whatever else changes in the list.
class RandomPass {
public:
    // The list as it is now (after a load, or after the engine expanded an entry).
    void setEntries(std::vector<int64_t> ids);
    // More entries at the end of the list, not yet played in this pass.
    void addEntries(const std::vector<int64_t>& ids);
    // A new Open: nothing has played.
    void reset();
    // A new pass over the same list.
    void newPass();
    // An entry is being opened: it counts as played in this pass, whether it plays or fails.
    void started(int64_t id);
    // It loaded: it can be gone back to, and a pass of nothing but failures is not repeated.
    void loaded(int64_t id);
    bool anyLoaded() const { return !m_history.empty(); }

    // The next entry not yet played in this pass, at random, other than avoid if there is any
    // other; none when every entry has played.
    std::optional<int64_t> next(std::mt19937_64& rng, int64_t avoid = -1);
    // The entry that played before the current one in this pass, if any; it becomes current.
    std::optional<int64_t> previous();

private:
    std::vector<int64_t> m_ids;
    std::unordered_set<int64_t> m_played;
    std::vector<int64_t> m_history; // loaded in this pass, in the order played
    std::vector<int64_t> m_pool;    // not yet played when last filled; played ones drop out lazily
    bool m_poolValid = false;
    bool m_complete = false; // every entry played: the next start begins a new pass
};

// Where entries came from when a list inside the list was expanded, to refuse a list that
// includes itself (directly or through others) and lists nested too deep.
class Nesting {
public:
    static constexpr int kMaxDepth = 8;

    // A new Open. A playlist file expanded at once gives its entries (ids first..last) depth 1.
    void reset();
    void listLoaded(const std::string& list, int64_t first, int64_t last);
    // The entry id, a list at path, was replaced by count entries from firstNew on.
    void expanded(int64_t id, const std::string& path, int64_t firstNew, int count);
    // Whether the entry may be opened: not one of the lists it came from, not too deep.
    bool mayOpen(int64_t id, const std::string& path) const;

private:
    struct Level {
        std::string list; // canonical path of the list these entries came from
        int depth = 0;
        std::shared_ptr<const Level> parent;
    };
    struct Range {
        int64_t first = 0, last = 0;
        std::shared_ptr<const Level> level;
    };
    std::shared_ptr<const Level> levelOf(int64_t id) const;

    std::vector<Range> m_ranges; // by first id; ids only grow
};

// The path that names a file whatever the way to it (links, "..", "."); addresses as they are.
std::string samePathKey(const std::string& path);

} // namespace playback
