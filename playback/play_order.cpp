#include "playback/play_order.h"

#include "text/text.h"

#include <algorithm>

namespace playback {

void RandomPass::setEntries(std::vector<int64_t> ids) {
    m_ids = std::move(ids);
    m_poolValid = false;
}

void RandomPass::addEntries(const std::vector<int64_t>& ids) {
    m_ids.insert(m_ids.end(), ids.begin(), ids.end());
    if (m_poolValid) // kept filled: a long list grows in many steps
        m_pool.insert(m_pool.end(), ids.begin(), ids.end());
    m_complete = false;
}

void RandomPass::reset() {
    m_ids.clear();
    newPass();
}

void RandomPass::newPass() {
    m_played.clear();
    m_history.clear();
    m_pool.clear();
    m_poolValid = false;
    m_complete = false;
}

void RandomPass::started(int64_t id) {
    if (m_complete)
        newPass();
    m_played.insert(id);
}

void RandomPass::loaded(int64_t id) {
    if (m_history.empty() || m_history.back() != id)
        m_history.push_back(id);
}

std::optional<int64_t> RandomPass::next(std::mt19937_64& rng, int64_t avoid) {
    if (!m_poolValid) {
        m_pool.clear();
        for (int64_t id : m_ids) {
            if (!m_played.contains(id))
                m_pool.push_back(id);
        }
        m_poolValid = true;
    }
    std::optional<int64_t> spare; // avoid, kept back in case nothing else is left
    std::optional<int64_t> pick;
    while (!pick && !m_pool.empty()) {
        std::uniform_int_distribution<size_t> at(0, m_pool.size() - 1);
        const size_t i = at(rng);
        const int64_t id = m_pool[i];
        m_pool[i] = m_pool.back();
        m_pool.pop_back();
        if (m_played.contains(id))
            continue; // played since the pool was filled
        if (id == avoid && !spare)
            spare = id;
        else
            pick = id;
    }
    if (spare) {
        if (pick)
            m_pool.push_back(*spare);
        else
            pick = spare;
    }
    if (!pick)
        m_complete = true;
    return pick;
}

std::optional<int64_t> RandomPass::previous() {
    if (m_history.size() < 2)
        return std::nullopt;
    m_history.pop_back();
    return m_history.back();
}

std::string samePathKey(const std::string& path) {
    if (path.find("://") != std::string::npos)
        return path;
    std::error_code error;
    const std::filesystem::path file = text::pathOf(path);
    const std::filesystem::path canonical = std::filesystem::canonical(file, error);
    if (!error)
        return text::utf8Of(canonical);
    return text::utf8Of(std::filesystem::absolute(file, error).lexically_normal());
}

void Nesting::reset() {
    m_ranges.clear();
}

void Nesting::listLoaded(const std::string& list, int64_t first, int64_t last) {
    auto level = std::make_shared<Level>(Level{samePathKey(list), 1, nullptr});
    m_ranges.push_back({first, last, std::move(level)});
}

void Nesting::expanded(int64_t id, const std::string& path, int64_t firstNew, int count) {
    if (count <= 0)
        return;
    auto parent = levelOf(id);
    const int depth = parent ? parent->depth + 1 : 1;
    auto level = std::make_shared<Level>(Level{samePathKey(path), depth, std::move(parent)});
    m_ranges.push_back({firstNew, firstNew + count - 1, std::move(level)});
}

std::shared_ptr<const Nesting::Level> Nesting::levelOf(int64_t id) const {
    auto it = std::upper_bound(m_ranges.begin(), m_ranges.end(), id,
                               [](int64_t v, const Range& r) { return v < r.first; });
    if (it == m_ranges.begin())
        return nullptr;
    --it;
    return id <= it->last ? it->level : nullptr;
}

bool Nesting::mayOpen(int64_t id, const std::string& path) const {
    auto level = levelOf(id);
    if (!level)
        return true;
    if (level->depth > kMaxDepth)
        return false;
    const std::string key = samePathKey(path);
    for (auto l = level; l; l = l->parent) {
        if (l->list == key)
            return false;
    }
    return true;
}

} // namespace playback
