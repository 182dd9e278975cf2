#pragma once

// What List1 shows: the names of the engine's entries in the list's order, the lit row, and the
// entry each row stands for. A window reads the names from here as it draws them, so a long
// list costs it no copy of its own.

#include "player/engine.h"

#include <cstdint>
#include <string>
#include <vector>

namespace player {

class ListRows {
public:
    // What a sync changed: nothing, the rows from `first` on (added below the others), or all.
    struct Change {
        enum Kind { None, Added, Replaced } kind = None;
        int first = 0;
        bool operator==(const Change&) const = default;
    };

    // Brings the rows in line with the engine's entries. Rows already shown stay only when the
    // entries kept them, in order, and at most grew below them.
    Change sync(const std::vector<Entry>& entries);

    int size() const { return int(m_ids.size()); }
    // Empty text outside the rows.
    const std::string& name(int row) const;
    // The entry's id; -1 outside the rows.
    int64_t idAt(int row) const;

    // -1 for none.
    int highlight() const { return m_highlight; }
    // A row outside the rows lights none.
    void setHighlight(int row);

private:
    std::vector<int64_t> m_ids;
    std::vector<std::string> m_names;
    int m_highlight = -1;
};

} // namespace player
