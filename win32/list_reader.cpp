#include "win32/list_reader.h"

#include "playback/playlist_file.h"

#include <mutex>
#include <thread>
#include <utility>

namespace win32 {

std::vector<player::Entry> listEntries(const std::string& path) {
    std::vector<player::Entry> entries;
    for (auto& entry : playback::readPlaylist(path))
        entries.push_back({-1, entry.url, playback::entryName(entry.url, entry.title)});
    return entries;
}

namespace {

std::optional<player::Entry> firstEntry(const std::string& path) {
    const auto head = playback::readPlaylistHead(path, playback::kListHeadBytes);
    if (head.empty() || playback::isPlaylistFile(head.front().url))
        return std::nullopt;
    const auto& first = head.front();
    return player::Entry{-1, first.url, playback::entryName(first.url, first.title)};
}

} // namespace

// Outlives the reader when the thread is still reading: the thread then finds no one to tell.
struct ListReader::Shared {
    std::mutex lock;
    std::function<void()> done;
    std::optional<player::Entry> first;
    std::optional<std::vector<player::Entry>> entries;
};

ListReader::ListReader(const std::string& path, std::function<void()> done)
    : m_shared(std::make_shared<Shared>()) {
    m_shared->done = std::move(done);
    // Detached: a read cannot be cut short, and the program must not wait for it to end.
    std::thread([shared = m_shared, path] {
        if (auto first = firstEntry(path)) {
            const std::lock_guard hold(shared->lock);
            shared->first = std::move(first);
            if (shared->done)
                shared->done();
        }
        auto entries = listEntries(path);
        const std::lock_guard hold(shared->lock);
        shared->entries = std::move(entries);
        if (shared->done)
            shared->done();
    }).detach();
}

ListReader::~ListReader() {
    const std::lock_guard hold(m_shared->lock);
    m_shared->done = nullptr;
}

std::optional<player::Entry> ListReader::takeFirst() {
    const std::lock_guard hold(m_shared->lock);
    return std::exchange(m_shared->first, std::nullopt);
}

std::optional<std::vector<player::Entry>> ListReader::take() {
    const std::lock_guard hold(m_shared->lock);
    return std::exchange(m_shared->entries, std::nullopt);
}

} // namespace win32
