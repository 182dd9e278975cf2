#pragma once

#include "playback/play_order.h"

#include <cstdint>
#include <optional>
#include <random>
#include <unordered_map>
#include <vector>

namespace playback {

// Where play goes from an entry of the list: on, back, and past either end. In list order, Repeat
// goes round from the last to the first and back; in random order every entry plays once per pass
// (RandomPass), and with Repeat a new pass follows the one that is over. Entries are known by
// their engine ids; an id not in the list stands before the first.
class ListCursor {
public:
    explicit ListCursor(uint64_t seed = std::random_device{}()) : m_rng(seed) {}

    // The list as it is now (after a load, or after the engine expanded an entry).
    void setEntries(std::vector<int64_t> ids);
    // More entries at the end of the list, as a long list is read.
    void addEntries(const std::vector<int64_t>& ids);
    // A new Open: no list, and nothing has played.
    void reset();

    void setLoop(bool on) { m_loop = on; }
    void setShuffle(bool on) { m_shuffle = on; }
    bool loop() const { return m_loop; }
    bool shuffle() const { return m_shuffle; }

    // An entry is being opened; it loaded. Both count for the random pass.
    void started(int64_t id) { m_pass.started(id); }
    void loaded(int64_t id) { m_pass.loaded(id); }

    // The entry a new list starts with: the first, or one at random; none for an empty list.
    std::optional<int64_t> first();
    // The entry after current; none past the end without Repeat. Going round to the first begins
    // a new pass; a new random pass never begins with current, and a pass that loaded nothing is
    // not gone round again.
    std::optional<int64_t> next(int64_t current);
    // The entry before current: in list order the one above it, in random order the one that
    // played before it in this pass.
    std::optional<int64_t> previous(int64_t current);
    // The engine went on from this entry in list order by itself: past the last, with Repeat,
    // a new pass begins.
    void wentOnFrom(int64_t id);

private:
    int indexOf(int64_t id) const;

    std::vector<int64_t> m_ids;
    std::unordered_map<int64_t, int> m_indexById;
    RandomPass m_pass;
    std::mt19937_64 m_rng;
    bool m_loop = false;
    bool m_shuffle = false;
};

} // namespace playback
