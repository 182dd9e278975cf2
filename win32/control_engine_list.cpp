// Opening a list: read at once when short, else on a thread of its own; the first entry to play
// is opened as soon as the entries are there, and a long list reaches the view in slices.
#include "win32/control_engine.h"

#include "playback/playlist_file.h"
#include "text/text.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iterator>

namespace win32 {
namespace {

// A list file this small reads in less time than a thread takes to start.
constexpr std::uintmax_t kReadAtOnce = 64 << 10;
// The control makes an object of each entry of its own list, all at once (100,000 take over half
// a second under Wine): a longer list is stepped through here instead.
constexpr std::size_t kControlListMost = 1000;
// A slice of a long list, the view's part included, holds the window about this long.
constexpr int64_t kSliceMicros = 15000;
constexpr std::size_t kFirstSlice = 1024, kLeastSlice = 64;

bool isAddress(const std::string& url) {
    return !playback::schemeOf(url).empty();
}

} // namespace

void ControlEngine::setURL(const std::string& url) {
    clear();
    if (!m_control || url.empty())
        return;
    // A list on this machine is read here; one on the web is the control's own to fetch.
    if (!playback::isPlaylistFile(url) || isAddress(url)) {
        arrived({{-1, url, playback::entryName(url, {})}}, false, false);
        return;
    }
    m_listName = text::utf8Of(text::pathOf(url).stem());
    std::error_code error;
    if (std::filesystem::file_size(text::pathOf(url), error) > kReadAtOnce && !error)
        m_reader = std::make_unique<ListReader>(url, m_wake);
    else
        arrived(listEntries(url), true, false);
}

// The first entry of a long list, read ahead of the rest: it plays while the rest is read.
void ControlEngine::begin(player::Entry first) {
    if (!m_control || !m_entries.empty())
        return;
    m_firstId = first.id = m_nextId++;
    m_entries.push_back(std::move(first));
    m_cursor.setEntries({m_firstId});
    open(0, m_autoStart);
    if (m_listener)
        m_listener->playlistChanged();
}

// aside: read on the reader's thread, after the player showed the list empty. Only a short list
// read at once becomes the control's own.
void ControlEngine::arrived(std::vector<player::Entry> read, bool list, bool aside) {
    if (!m_control || read.empty())
        return;
    // The first entry may be open already, read ahead (begin()); unless the whole list begins
    // otherwise, it stays as it is.
    const bool begun = m_entries.size() == 1 && m_rest.empty() &&
                       m_entries.front().sourceURL == read.front().sourceURL;
    if (!begun) {
        m_entries = {};
        m_firstId = m_nextId;
    }
    std::vector<int64_t> ids;
    ids.reserve(read.size());
    for (auto& entry : read)
        ids.push_back(entry.id = begun && ids.empty() ? m_firstId : m_nextId++);
    m_cursor.setEntries(std::move(ids));
    m_entries.reserve(read.size());
    m_rest = std::move(read);
    m_restAt = begun ? 1 : 0;
    m_slice = kFirstSlice;

    if (!begun) {
        const int first = m_autoStart ? indexOf(m_cursor.first().value_or(-1)) : 0;
        if (list && !aside && m_rest.size() <= kControlListMost) {
            show(m_rest.size());
            std::vector<std::string> urls;
            for (const auto& entry : m_entries)
                urls.push_back(entry.sourceURL);
            m_controlList = m_control->setPlaylist(m_listName, urls);
        }
        if (!m_controlList) {
            show(std::size_t(std::max(first + 1 - int(m_entries.size()), 0)));
            open(first, m_autoStart);
        } else {
            m_current = 0;
            if (first != 0)
                playEntry(first);
        }
    }
    if (aside && m_listener)
        m_listener->playlistChanged();
    if (m_restAt < m_rest.size())
        askLater();
}

// One slice of what is still to show, sized by what the last one took with the view's part.
void ControlEngine::feed() {
    if (m_restAt >= m_rest.size() || m_feeding)
        return;
    m_feeding = true;
    const auto start = std::chrono::steady_clock::now();
    show(std::min(m_slice, m_rest.size() - m_restAt));
    if (m_listener)
        m_listener->playlistChanged();
    const int64_t took = std::max<int64_t>(1, std::chrono::duration_cast<std::chrono::microseconds>(
                                                  std::chrono::steady_clock::now() - start)
                                                  .count());
    // However slow the view, a slice is at least a quarter of what it shows: a view that takes
    // the whole list again each time is refreshed a few times, not thousands.
    const std::size_t least = std::max({m_slice / 2, m_entries.size() / 4, kLeastSlice});
    m_slice = std::clamp(std::size_t(int64_t(m_slice) * kSliceMicros / took), least,
                         std::max(m_slice * 2, least));
    m_feeding = false;
    if (m_restAt < m_rest.size())
        askLater();
}

// After the window's input and painting, so the user is not kept waiting for the list.
void ControlEngine::askLater() {
    if (m_later)
        m_later();
    else if (m_wake)
        m_wake();
}

void ControlEngine::show(std::size_t count) {
    const auto from = std::make_move_iterator(m_rest.begin() + std::ptrdiff_t(m_restAt));
    m_entries.insert(m_entries.end(), from, from + std::ptrdiff_t(count));
    m_restAt += count;
    if (m_restAt == m_rest.size()) {
        m_rest = {};
        m_restAt = 0;
    }
}

void ControlEngine::clear() {
    ++m_opens;
    if (m_control) {
        m_control->stop();
        m_control->setURL({});
    }
    m_reader.reset(); // a list still being read is dropped, and its slices with it
    m_entries = {};
    m_rest = {};
    m_restAt = 0;
    m_cursor.reset();
    m_controlList = false;
    m_current = -1;
    m_requested = -1;
    m_ended = false;
    m_failedInRow = 0;
}

// The list's ids follow on from the first, in its order.
int ControlEngine::indexOf(int64_t id) const {
    const int64_t index = id - m_firstId;
    return index >= 0 && index < int64_t(total()) ? int(index) : -1;
}

} // namespace win32
