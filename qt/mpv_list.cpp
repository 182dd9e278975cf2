#include "qt/mpv_list.h"

#include "playback/playlist_file.h"
#include "qt/mpv_handle.h"

#include <mpv/client.h>

#include <algorithm>
#include <string_view>
#include <utility>

using playback::EndReason;
using player::Entry;

namespace {

EndReason endReasonOf(mpv_end_file_reason reason) {
    switch (reason) {
    case MPV_END_FILE_REASON_EOF:
        return EndReason::Eof;
    case MPV_END_FILE_REASON_QUIT:
        return EndReason::Quit;
    case MPV_END_FILE_REASON_ERROR:
        return EndReason::Error;
    case MPV_END_FILE_REASON_REDIRECT:
        return EndReason::Redirect;
    default:
        return EndReason::Stop;
    }
}

} // namespace

// The list

void MpvList::load(const std::string& url) {
    // A playlist file is expanded at once, so its entries can be listed right away: read here
    // when it is on disk, by the engine when it is on the web. Appended to the emptied engine,
    // nothing starts by itself: the first entry is ours to choose.
    const bool list = playback::isPlaylistFile(url);
    const std::string scheme = playback::schemeOf(url);
    if (list && (scheme.empty() || scheme == "file")) {
        m_reading = url;
        m_feed.start(url, m_cursor.shuffle());
        return;
    }
    if (!m_mpv.command({list ? "loadlist" : "loadfile", url.c_str(), "append"}))
        return;
    readItems();
    if (m_items.empty())
        return;
    if (list)
        m_nesting.listLoaded(url, m_items.front().id, m_items.back().id);
    playEntry(m_cursor.first().value_or(m_items.front().id));
}

void MpvList::clear() {
    m_feed.stop(); // before the engine's list is emptied, so none of the old list comes after
    m_mpv.command({"stop"}); // empties the engine's list too
    m_items.clear();
    m_indexById.clear();
    m_listTitles.clear();
    m_cursor.reset();
    m_nesting.reset();
    m_resumeId = -1;
    m_requestedId = -1;
}

void MpvList::forget() {
    m_feed.stop();
    m_items.clear();
    m_indexById.clear();
    m_listTitles.clear();
    m_awaitingAfterEnd = false;
}

std::string MpvList::titleOf(int64_t id, std::string engineTitle) const {
    const auto it = m_listTitles.find(id);
    return it == m_listTitles.end() ? engineTitle : it->second;
}

// A part of a list on disk, in order, as the engine has it at the end of its list; the titles
// stay here, by the ids the engine gave them.
bool MpvList::takeRead() {
    bool more = false;
    auto slice = m_feed.take(more);
    if (!slice || slice->empty())
        return more;
    int64_t first = slice->front().id, last = first;
    bool known = false;
    for (const Entry& entry : *slice) {
        first = std::min(first, entry.id);
        last = std::max(last, entry.id);
        known = known || itemIndexOf(entry.id) >= 0;
        if (!entry.name.empty())
            m_listTitles.emplace(entry.id, entry.name);
    }
    m_nesting.listLoaded(m_reading, first, last);
    m_listChanged = true;
    if (known) {
        readItems(); // the engine expanded an entry meanwhile, and was read as it is
        return more;
    }
    std::vector<int64_t> ids;
    ids.reserve(slice->size());
    for (Entry& entry : *slice) {
        entry.name = playback::entryName(entry.sourceURL, entry.name);
        ids.push_back(entry.id);
        if (!m_indexById.empty())
            m_indexById.emplace(entry.id, int(m_items.size()));
        m_items.push_back(std::move(entry));
    }
    m_cursor.addEntries(ids);
    return more;
}

void MpvList::readItems() {
    m_items = m_mpv.playlist();
    m_indexById.clear();
    std::vector<int64_t> ids;
    ids.reserve(m_items.size());
    for (auto& item : m_items) {
        item.name = playback::entryName(item.sourceURL, titleOf(item.id, item.name));
        ids.push_back(item.id);
    }
    m_cursor.setEntries(std::move(ids));
}

int MpvList::itemIndexOf(int64_t id) const {
    if (m_indexById.empty()) {
        m_indexById.reserve(m_items.size());
        for (std::size_t i = 0; i < m_items.size(); ++i)
            m_indexById.emplace(m_items[i].id, int(i));
    }
    const auto it = m_indexById.find(id);
    return it == m_indexById.end() ? -1 : it->second;
}

int MpvList::engineIndexOf(int64_t id) const {
    if (id < 0)
        return -1;
    if (const int i = itemIndexOf(id); i >= 0 && m_mpv.intProperty(entryKey(i, "id")) == id)
        return i;
    // The engine changed its list and the news is still on its way: ask it.
    const auto entries = m_mpv.playlist();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].id == id)
            return int(i);
    }
    return -1;
}

void MpvList::playEntry(int64_t id) {
    const int index = engineIndexOf(id);
    if (index < 0)
        return;
    m_requestedId = id;
    m_mpv.command({"playlist-play-index", std::to_string(index).c_str()});
}

int64_t MpvList::playingId() const {
    const auto pos = m_mpv.intProperty("playlist-playing-pos");
    if (!pos || *pos < 0)
        return -1;
    return m_mpv.intProperty(entryKey(*pos, "id")).value_or(-1);
}

int MpvList::currentIndex() const {
    const auto pos = m_mpv.intProperty("playlist-current-pos");
    return pos && *pos >= 0 && *pos < int64_t(m_items.size()) ? int(*pos) : -1;
}

// Moving through it

void MpvList::play() {
    // A list still being read starts its first entry by itself: it starts playing.
    if (m_mpv.hasMedia() || (m_items.empty() && m_feed.reading())) {
        m_mpv.setProperty("pause", "no");
        m_feed.holdStart(false);
        return;
    }
    // Stopped: start the entry that was current, else the first.
    int64_t id = engineIndexOf(m_resumeId) >= 0 ? m_resumeId : -1;
    if (id < 0 && !m_items.empty())
        id = m_items.front().id;
    if (id < 0)
        return;
    m_mpv.setProperty("pause", "no");
    playEntry(id);
}

void MpvList::stop() {
    if (const int64_t id = playingId(); id >= 0)
        m_resumeId = id;
    else if (m_items.empty())
        m_feed.holdStart(true); // the list still being read must not start after this
    m_mpv.command({"stop", "keep-playlist"});
}

void MpvList::next() {
    if (!m_cursor.shuffle())
        m_mpv.command({"playlist-next"}); // in list order the engine steps itself
    else if (const auto next = m_cursor.next(playingId()))
        playEntry(*next);
}

void MpvList::previous() {
    if (m_cursor.shuffle()) {
        if (const auto back = m_cursor.previous(playingId())) {
            playEntry(*back);
            return;
        }
    }
    m_mpv.command({"playlist-prev"});
}

void MpvList::playItem(const Entry& entry) {
    if (engineIndexOf(entry.id) < 0)
        return;
    m_mpv.setProperty("pause", "no");
    playEntry(entry.id);
}

// The engine's events

void MpvList::started(int64_t entryId) {
    m_openingId = entryId;
    m_unasked = m_requestedId >= 0 && m_openingId != m_requestedId;
    if (m_openingId == m_requestedId)
        m_requestedId = -1;
}

void MpvList::loaded() {
    m_resumeId = m_openingId;
    m_cursor.loaded(m_openingId);
}

EndReason MpvList::ended(const mpv_event_end_file& end) {
    const EndReason reason = endReasonOf(end.reason);
    m_endedId = end.playlist_entry_id;
    m_endReason = reason;
    m_awaitingAfterEnd = true;
    if (reason == EndReason::Redirect) {
        // A folder or a list, replaced in place by its entries.
        if (const int at = itemIndexOf(m_endedId); at >= 0)
            m_nesting.expanded(m_endedId, m_items[std::size_t(at)].sourceURL,
                               end.playlist_insert_id, end.playlist_insert_num_entries);
        readItems();
        m_listChanged = true;
    }
    return reason;
}

bool MpvList::takeListChanged() {
    if (!m_listChanged || m_awaitingAfterEnd)
        return false;
    m_listChanged = false;
    return true;
}

void MpvList::openingEntry() {
    if (std::exchange(m_unasked, false)) {
        // Still starting up, the engine went to the top of its list whatever was asked; the
        // entry asked for replaces this one before anything is opened.
        if (const int index = engineIndexOf(m_requestedId); index >= 0) {
            m_mpv.command({"playlist-play-index", std::to_string(index).c_str()});
            return;
        }
        m_requestedId = -1; // gone from the list
    }
    m_cursor.started(m_openingId);
    if (!m_nesting.mayOpen(m_openingId, m_mpv.stringProperty("path"))) {
        // Open nothing: the engine counts it a failure and goes on with the next entry.
        m_mpv.setProperty("stream-open-filename", {});
    }
}

bool MpvList::afterEntryEnd() {
    const bool ranOut = m_endReason == EndReason::Eof || m_endReason == EndReason::Error ||
                        m_endReason == EndReason::Redirect;
    const bool reading = ranOut && m_feed.reading();
    if (!m_cursor.shuffle()) {
        // In list order the engine chooses; at the end it starts the list again, or stops.
        if (reading && endedLastInEngine())
            return false;
        m_awaitingAfterEnd = false;
        if (ranOut)
            m_cursor.wentOnFrom(m_endedId);
        return true;
    }
    if (ranOut) {
        const auto next = m_cursor.next(m_endedId);
        if (!next && reading)
            return false;
        if (next)
            playEntry(*next);
        else
            m_mpv.command({"playlist-play-index", "none"});
    } else if (m_endReason == EndReason::Stop && m_requestedId < 0) {
        afterSkip();
    }
    m_awaitingAfterEnd = false;
    return true;
}

bool MpvList::endedLastInEngine() const {
    const auto count = m_mpv.intProperty("playlist-count");
    return count && *count > 0 && m_mpv.intProperty(entryKey(*count - 1, "id")) == m_endedId;
}

// Not asked for by us: a next or previous the engine took by itself, in random order too.
void MpvList::afterSkip() {
    const int ended = itemIndexOf(m_endedId);
    if (ended < 0)
        return;
    const int64_t current = m_mpv.intProperty("playlist-current-pos").value_or(-1);
    std::optional<int64_t> chosen;
    if (current == ended + 1)
        chosen = m_cursor.next(m_endedId);
    else if (current == ended - 1)
        chosen = m_cursor.previous(m_endedId);
    if (chosen)
        playEntry(*chosen);
}
