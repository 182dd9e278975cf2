#include "playback/list_cursor.h"

namespace playback {

void ListCursor::setEntries(std::vector<int64_t> ids) {
    m_indexById.clear();
    for (std::size_t i = 0; i < ids.size(); ++i)
        m_indexById.emplace(ids[i], int(i));
    m_ids = ids;
    m_pass.setEntries(std::move(ids));
}

void ListCursor::addEntries(const std::vector<int64_t>& ids) {
    for (int64_t id : ids) {
        m_indexById.emplace(id, int(m_ids.size()));
        m_ids.push_back(id);
    }
    m_pass.addEntries(ids);
}

void ListCursor::reset() {
    m_ids.clear();
    m_indexById.clear();
    m_pass.reset();
}

int ListCursor::indexOf(int64_t id) const {
    const auto it = m_indexById.find(id);
    return it == m_indexById.end() ? -1 : it->second;
}

std::optional<int64_t> ListCursor::first() {
    if (m_ids.empty())
        return std::nullopt;
    if (m_shuffle)
        return m_pass.next(m_rng).value_or(m_ids.front());
    return m_ids.front();
}

std::optional<int64_t> ListCursor::next(int64_t current) {
    if (m_shuffle) {
        auto next = m_pass.next(m_rng);
        if (!next && m_loop && m_pass.anyLoaded()) {
            m_pass.newPass();
            next = m_pass.next(m_rng, current);
        }
        return next;
    }
    const std::size_t at = std::size_t(indexOf(current) + 1);
    if (at < m_ids.size())
        return m_ids[at];
    if (!m_loop || m_ids.empty())
        return std::nullopt;
    m_pass.newPass();
    return m_ids.front();
}

std::optional<int64_t> ListCursor::previous(int64_t current) {
    if (m_shuffle)
        return m_pass.previous();
    const int at = indexOf(current) - 1;
    if (at >= 0)
        return m_ids[std::size_t(at)];
    if (!m_loop || m_ids.empty())
        return std::nullopt;
    return m_ids.back();
}

void ListCursor::wentOnFrom(int64_t id) {
    if (m_loop && !m_ids.empty() && m_ids.back() == id)
        m_pass.newPass();
}

} // namespace playback
