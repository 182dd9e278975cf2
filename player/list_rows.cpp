#include "player/list_rows.h"

#include <algorithm>

namespace player {

ListRows::Change ListRows::sync(const std::vector<Entry>& entries) {
    const bool kept = entries.size() >= m_ids.size() &&
                      std::equal(m_ids.begin(), m_ids.end(), entries.begin(),
                                 [](int64_t id, const Entry& entry) { return id == entry.id; });
    if (kept && entries.size() == m_ids.size())
        return {};
    if (!kept) {
        m_ids.clear();
        m_names.clear();
    }
    const std::size_t first = m_ids.size();
    m_ids.reserve(entries.size());
    m_names.reserve(entries.size());
    for (std::size_t i = first; i < entries.size(); ++i) {
        m_ids.push_back(entries[i].id);
        m_names.push_back(entries[i].name);
    }
    setHighlight(m_highlight);
    if (!kept)
        return {Change::Replaced, 0};
    return {Change::Added, int(first)};
}

const std::string& ListRows::name(int row) const {
    static const std::string none;
    return row >= 0 && row < size() ? m_names[std::size_t(row)] : none;
}

int64_t ListRows::idAt(int row) const {
    return row >= 0 && row < size() ? m_ids[std::size_t(row)] : -1;
}

void ListRows::setHighlight(int row) {
    m_highlight = row >= 0 && row < size() ? row : -1;
}

} // namespace player
