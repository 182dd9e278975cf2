#include "qt/mpv_engine.h"

#include "playback/playlist_file.h"
#include "text/text.h"

#include <mpv/client.h>

#include <QMetaObject>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

using playback::EndReason;
using playback::PlayState;
using player::Entry;

namespace {

// The engine properties watched, and what a change of each means. The engine tells of each
// change itself, whoever made it: the window, its control bar, or the desktop.
enum class Watch { Pause, Idle, Volume, Tags, Position, Duration, Seekable, Mute, Network };
struct Watched {
    const char* name;
    mpv_format format;
    Watch what;
};
constexpr Watched kWatched[] = {
    {"pause", MPV_FORMAT_FLAG, Watch::Pause},
    {"idle-active", MPV_FORMAT_FLAG, Watch::Idle},
    {"volume", MPV_FORMAT_DOUBLE, Watch::Volume},
    {"metadata", MPV_FORMAT_NONE, Watch::Tags}, // also a stream's title, as it plays
    // For the control bar. Read as whole seconds, the engine tells of these once a second of play
    // at most.
    {"time-pos", MPV_FORMAT_INT64, Watch::Position},
    {"duration", MPV_FORMAT_INT64, Watch::Duration},
    {"seekable", MPV_FORMAT_FLAG, Watch::Seekable},
    {"mute", MPV_FORMAT_FLAG, Watch::Mute},
    {"demuxer-via-network", MPV_FORMAT_FLAG, Watch::Network},
};

bool flagOf(const mpv_event_property& prop) {
    return prop.format == MPV_FORMAT_FLAG && *static_cast<const int*>(prop.data);
}

std::optional<int64_t> intOf(const mpv_event_property& prop) {
    if (prop.format != MPV_FORMAT_INT64)
        return std::nullopt;
    return *static_cast<const int64_t*>(prop.data);
}
enum HookId : uint64_t { hookOpening = 1, hookUnloading, hookAfterEnd };

// Events handled in one turn; the rest wait for the next, so the window keeps its share.
constexpr int kEventsPerTurn = 64;

const mpv_node* mapValue(const mpv_node& map, const char* key) {
    if (map.format != MPV_FORMAT_NODE_MAP)
        return nullptr;
    for (int i = 0; i < map.u.list->num; ++i) {
        if (std::strcmp(map.u.list->keys[i], key) == 0)
            return &map.u.list->values[i];
    }
    return nullptr;
}

std::string nodeText(const mpv_node& entry, const char* key) {
    const mpv_node* value = mapValue(entry, key);
    return value && value->format == MPV_FORMAT_STRING ? text::validUtf8(value->u.string)
                                                       : std::string();
}

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

std::string entryKey(int64_t index, const char* field) {
    return "playlist/" + std::to_string(index) + "/" + field;
}

// What a list on disk may have the engine open: files and the web. Told directly, the engine also
// opens pipes, devices and its own filters, which no list may reach.
bool mayOpenFromList(const std::string& url) {
    static constexpr std::string_view kSchemes[] = {
        "file", "http",  "https", "ftp",   "mms",    "mmsh",   "mmst", "rtsp", "rtsps",
        "rtmp", "rtmpe", "rtmps", "rtmpt", "rtmpte", "rtmpts", "rtp",  "srt",  "srtp"};
    const std::string scheme = playback::schemeOf(url);
    return scheme.empty() ||
           std::find(std::begin(kSchemes), std::end(kSchemes), scheme) != std::end(kSchemes);
}

} // namespace

MpvEngine::MpvEngine(const Options& options, QObject* parent) : QObject(parent) {
    // The engine parses numbers with the C library; a comma locale breaks it.
    std::setlocale(LC_NUMERIC, "C");
    m_mpv = mpv_create();
    if (!m_mpv)
        return;

    auto opt = [this](const char* name, const std::string& value) {
        mpv_set_option_string(m_mpv, name, value.c_str());
    };
    if (options.wid) {
        int64_t wid = *options.wid;
        mpv_set_option(m_mpv, "wid", MPV_FORMAT_INT64, &wid);
        // No window of its own until there is a picture, a video or a song's cover: while idle,
        // or for a song without one, the player area shows dark by itself, and the engine keeps
        // no video output (its start is a fifth of a second of processor, its memory tens of
        // MiB with software drawing).
    } else {
        opt("vo", "null");
    }
    if (!options.vo.empty())
        opt("vo", options.vo);
    if (!options.ao.empty())
        opt("ao", options.ao);
    // The engine draws only the picture; the window has the controls.
    opt("osc", "no");
    opt("idle", "yes");
    // The engine must never quit, or change the playlist, on its own.
    opt("input-default-bindings", "no");
    opt("input-vo-keyboard", "no");
    opt("drag-and-drop", "no");
    opt("audio-fallback-to-null", "yes");
    opt("ytdl", "no");
    // Its own key-driven overlays cannot be reached without its key bindings: their scripts
    // would only take time and memory at every start.
    opt("load-stats-overlay", "no");
    opt("load-osd-console", "no");
    opt("load-auto-profiles", "no");
    opt("volume", std::to_string(kStartVolume));
    opt("volume-max", "100"); // the control's volume is 0..100
    opt("gpu-sw", "yes");

    // All asked for before the engine starts: once started, it brings up its video output at
    // once, and a hook added then would wait for that while the window is being built.
    for (uint64_t i = 0; i < std::size(kWatched); ++i)
        mpv_observe_property(m_mpv, i + 1, kWatched[i].name, kWatched[i].format);
    mpv_hook_add(m_mpv, hookOpening, "on_load", 0);
    // Held until the listener has seen the track start: it reads the track's details then.
    mpv_hook_add(m_mpv, hookUnloading, "on_unload", 0);
    mpv_hook_add(m_mpv, hookAfterEnd, "on_after_end_file", 0);
    mpv_set_wakeup_callback(m_mpv, &MpvEngine::onWakeup, this);
    if (mpv_initialize(m_mpv) < 0) {
        mpv_set_wakeup_callback(m_mpv, nullptr, nullptr);
        mpv_terminate_destroy(m_mpv);
        m_mpv = nullptr;
    }
}

MpvEngine::~MpvEngine() {
    close();
}

void MpvEngine::close() {
    if (!m_mpv)
        return;
    release();
    m_pending.clear();
}

void MpvEngine::release() {
    mpv_set_wakeup_callback(m_mpv, nullptr, nullptr);
    mpv_terminate_destroy(m_mpv); // returns once the core and its video output have shut down
    m_mpv = nullptr;
    m_items.clear();
    m_indexById.clear();
    m_listTitles.clear();
    m_awaitingAfterEnd = false;
}

void MpvEngine::onWakeup(void* self) {
    // Runs on an engine thread: only hand over to the GUI thread.
    auto* engine = static_cast<MpvEngine*>(self);
    if (!engine->m_wakeupPending.exchange(true))
        QMetaObject::invokeMethod(engine, &MpvEngine::drainEvents, Qt::QueuedConnection);
}

void MpvEngine::drainEvents() {
    m_wakeupPending = false;
    bool shutDown = false;
    for (int handled = 0; m_mpv && !shutDown; ++handled) {
        if (handled == kEventsPerTurn) {
            onWakeup(this); // come back for the rest after the window's own events
            break;
        }
        const mpv_event* event = mpv_wait_event(m_mpv, 0);
        if (event->event_id == MPV_EVENT_NONE)
            break;
        shutDown = event->event_id == MPV_EVENT_SHUTDOWN;
        handleEvent(*event);
    }
    if (shutDown && m_mpv)
        release(); // the core went away by itself; keep running without it
    if (std::exchange(m_transportChanged, false))
        emit transportChanged();
    emitPending();
}

void MpvEngine::handleEvent(const mpv_event& event) {
    std::optional<PlayState> state;
    switch (event.event_id) {
    case MPV_EVENT_START_FILE:
    case MPV_EVENT_FILE_LOADED:
    case MPV_EVENT_END_FILE:
    case MPV_EVENT_SHUTDOWN:
        m_transportChanged = true;
        break;
    default:
        break;
    }
    switch (event.event_id) {
    case MPV_EVENT_START_FILE:
        state = startFile(static_cast<const mpv_event_start_file*>(event.data)->playlist_entry_id);
        break;
    case MPV_EVENT_FILE_LOADED:
        state = m_state.fileLoaded(flagProperty("pause"));
        m_resumeId = m_openingId;
        m_cursor.loaded(m_openingId);
        break;
    case MPV_EVENT_SEEK:
        m_seeking = true;
        break;
    case MPV_EVENT_PLAYBACK_RESTART:
        state = m_state.playbackRestart(flagProperty("pause"));
        if (std::exchange(m_seeking, false) && !state && m_listener)
            m_listener->seeked(position());
        break;
    case MPV_EVENT_END_FILE:
        state = endFile(*static_cast<const mpv_event_end_file*>(event.data));
        break;
    case MPV_EVENT_PROPERTY_CHANGE:
        state = propertyChanged(event);
        break;
    case MPV_EVENT_HOOK:
        hook(event);
        break;
    case MPV_EVENT_SHUTDOWN:
        state = m_state.shutdown();
        break;
    default:
        break;
    }
    if (state)
        report(*state);
}

std::optional<PlayState> MpvEngine::startFile(int64_t entryId) {
    m_openingId = entryId;
    m_unasked = m_requestedId >= 0 && m_openingId != m_requestedId;
    if (m_openingId == m_requestedId)
        m_requestedId = -1;
    return m_state.startFile();
}

std::optional<PlayState> MpvEngine::endFile(const mpv_event_end_file& end) {
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
    return m_state.endFile(reason);
}

std::optional<PlayState> MpvEngine::propertyChanged(const mpv_event& event) {
    const auto* prop = static_cast<const mpv_event_property*>(event.data);
    if (event.reply_userdata < 1 || event.reply_userdata > std::size(kWatched))
        return std::nullopt;
    // The bar's state is kept from the events alone: a read here would wait for the engine,
    // which may be busy bringing up its video output.
    const Watch what = kWatched[event.reply_userdata - 1].what;
    m_transportChanged = m_transportChanged || what != Watch::Tags;
    Transport& t = m_transport;
    switch (what) {
    case Watch::Pause:
        t.paused = flagOf(*prop);
        // Changes are coalesced: trust the value as it is now, not the event's.
        return m_state.pauseChanged(flagProperty("pause"));
    case Watch::Idle:
        t.loaded = prop->format == MPV_FORMAT_FLAG && !flagOf(*prop);
        if (flagOf(*prop))
            return m_state.idle();
        break;
    case Watch::Volume:
        if (prop->format == MPV_FORMAT_DOUBLE) {
            t.volume = int(std::lround(*static_cast<const double*>(prop->data)));
            if (m_listener)
                m_listener->volumeChanged(t.volume);
        }
        break;
    case Watch::Tags:
        tagsChanged();
        break;
    case Watch::Position:
        t.position = double(std::max<int64_t>(0, intOf(*prop).value_or(0)));
        break;
    case Watch::Duration:
        if (const auto seconds = intOf(*prop); seconds && *seconds > 0)
            t.duration = double(*seconds);
        else
            t.duration.reset();
        break;
    case Watch::Seekable:
        t.seekable = flagOf(*prop);
        break;
    case Watch::Mute:
        t.muted = flagOf(*prop);
        break;
    case Watch::Network:
        m_viaNetwork = flagOf(*prop);
        break;
    }
    return std::nullopt;
}

void MpvEngine::hook(const mpv_event& event) {
    const uint64_t id = static_cast<const mpv_event_hook*>(event.data)->id;
    if (event.reply_userdata == hookOpening)
        openingEntry();
    else if (event.reply_userdata == hookAfterEnd)
        afterEntryEnd();
    // The listener sees what happened before the engine moves on.
    emitPending();
    if (m_mpv)
        mpv_hook_continue(m_mpv, id);
}

void MpvEngine::report(PlayState state) {
    Pending pending{Pending::Kind::State, state, {}};
    // Read now, while the engine may still be on it. If it has already gone on to another entry
    // (or to none), the details would be someone else's: leave them empty.
    if ((state == PlayState::Playing || state == PlayState::Ready) && hasCurrentMedia() &&
        playingId() == m_openingId) {
        pending.item = currentTrack();
        m_streamTitle = stringProperty("metadata/by-key/icy-title"); // told with this start
    }
    m_pending.push_back(std::move(pending));
}

// The engine puts a stream's new title in place when play reaches it, so a change seen while
// playing is the new track's start. One seen while paused or starting comes with that start.
void MpvEngine::tagsChanged() {
    std::string title = stringProperty("metadata/by-key/icy-title");
    if (title == m_streamTitle)
        return; // the same title comes again with every block of the stream
    m_streamTitle = std::move(title);
    if (playback::splitStreamTitle(m_streamTitle).title.empty() || !m_state.isPlaying() ||
        playingId() != m_openingId)
        return;
    m_pending.push_back({Pending::Kind::Title, PlayState::Undefined, currentTrack()});
}

void MpvEngine::openingEntry() {
    if (std::exchange(m_unasked, false)) {
        // Still starting up, the engine went to the top of its list whatever was asked; the
        // entry asked for replaces this one before anything is opened.
        if (const int index = engineIndexOf(m_requestedId); index >= 0) {
            command({"playlist-play-index", std::to_string(index).c_str()});
            return;
        }
        m_requestedId = -1; // gone from the list
    }
    m_cursor.started(m_openingId);
    if (!m_nesting.mayOpen(m_openingId, stringProperty("path"))) {
        // Open nothing: the engine counts it a failure and goes on with the next entry.
        setProperty("stream-open-filename", {});
    }
}

void MpvEngine::afterEntryEnd() {
    m_awaitingAfterEnd = false;
    const bool ranOut = m_endReason == EndReason::Eof || m_endReason == EndReason::Error ||
                        m_endReason == EndReason::Redirect;
    if (!m_cursor.shuffle()) {
        // In list order the engine chooses; at the end it starts the list again, or stops.
        if (ranOut)
            m_cursor.wentOnFrom(m_endedId);
        return;
    }
    if (ranOut) {
        if (const auto next = m_cursor.next(m_endedId))
            playEntry(*next);
        else
            command({"playlist-play-index", "none"});
    } else if (m_endReason == EndReason::Stop && m_requestedId < 0)
        afterSkip();
}

// Not asked for by us: a next or previous the engine took by itself, in random order too.
void MpvEngine::afterSkip() {
    const int ended = itemIndexOf(m_endedId);
    if (ended < 0)
        return;
    const int64_t current = intProperty("playlist-current-pos").value_or(-1);
    std::optional<int64_t> chosen;
    if (current == ended + 1)
        chosen = m_cursor.next(m_endedId);
    else if (current == ended - 1)
        chosen = m_cursor.previous(m_endedId);
    if (chosen)
        playEntry(*chosen);
}

void MpvEngine::emitPending() {
    // After an expansion, once the entry to play next is settled.
    if (m_listChanged && !m_awaitingAfterEnd) {
        m_listChanged = false;
        if (m_listener)
            m_listener->playlistChanged();
    }
    // A listener may open a modal box, whose event loop drains again: the states that come while
    // it is up are reported from there, in order, as they happen, not held until it closes.
    while (!m_pending.empty()) {
        Pending next = std::move(m_pending.front());
        m_pending.pop_front();
        if (!m_listener)
            continue;
        if (next.kind == Pending::Kind::Title)
            m_listener->titleChanged(next.item);
        else
            m_listener->playStateChanged(next.state, next.item);
    }
}

bool MpvEngine::command(std::initializer_list<const char*> args) {
    if (!m_mpv)
        return false;
    std::vector<const char*> argv(args);
    argv.push_back(nullptr);
    return mpv_command(m_mpv, argv.data()) >= 0;
}

bool MpvEngine::setProperty(const char* name, const std::string& value) {
    return m_mpv && mpv_set_property_string(m_mpv, name, value.c_str()) >= 0;
}

std::string MpvEngine::stringProperty(const std::string& name) const {
    if (!m_mpv)
        return {};
    char* value = mpv_get_property_string(m_mpv, name.c_str());
    std::string text = value ? text::validUtf8(value) : std::string();
    mpv_free(value);
    return text;
}

std::optional<int64_t> MpvEngine::intProperty(const std::string& name) const {
    int64_t value = 0;
    if (!m_mpv || mpv_get_property(m_mpv, name.c_str(), MPV_FORMAT_INT64, &value) < 0)
        return std::nullopt;
    return value;
}

std::optional<double> MpvEngine::doubleProperty(const char* name) const {
    double value = 0;
    if (!m_mpv || mpv_get_property(m_mpv, name, MPV_FORMAT_DOUBLE, &value) < 0)
        return std::nullopt;
    return value;
}

bool MpvEngine::flagProperty(const char* name) const {
    int value = 0;
    return m_mpv && mpv_get_property(m_mpv, name, MPV_FORMAT_FLAG, &value) >= 0 && value;
}

std::vector<Entry> MpvEngine::readPlaylist() const {
    std::vector<Entry> items;
    mpv_node node;
    if (!m_mpv || mpv_get_property(m_mpv, "playlist", MPV_FORMAT_NODE, &node) < 0)
        return items;
    if (node.format == MPV_FORMAT_NODE_ARRAY) {
        items.reserve(std::size_t(node.u.list->num));
        for (int i = 0; i < node.u.list->num; ++i) {
            const mpv_node& entry = node.u.list->values[i];
            Entry item;
            if (const auto* id = mapValue(entry, "id"); id && id->format == MPV_FORMAT_INT64)
                item.id = id->u.int64;
            item.sourceURL = nodeText(entry, "filename");
            item.name =
                playback::entryName(item.sourceURL, titleOf(item.id, nodeText(entry, "title")));
            items.push_back(std::move(item));
        }
    }
    mpv_free_node_contents(&node);
    return items;
}

// An entry's title from its list: ours for a list read here, else the engine's.
std::string MpvEngine::titleOf(int64_t id, std::string engineTitle) const {
    const auto it = m_listTitles.find(id);
    return it == m_listTitles.end() ? engineTitle : it->second;
}

// A list on disk is read here, and its entries go to the engine one by one; their titles stay
// here, by the ids the engine gave them.
void MpvEngine::appendList(const std::string& file) {
    std::vector<playback::ListEntry> sent;
    for (auto& entry : playback::readPlaylist(file)) {
        if (mayOpenFromList(entry.url) && command({"loadfile", entry.url.c_str(), "append"}))
            sent.push_back(std::move(entry));
    }
    readItems();
    // The engine's list is what was sent, in order; checked all the same.
    for (std::size_t i = 0; i < sent.size() && i < m_items.size(); ++i) {
        if (m_items[i].sourceURL != sent[i].url)
            break;
        if (!sent[i].title.empty()) {
            m_items[i].name = sent[i].title;
            m_listTitles.emplace(m_items[i].id, std::move(sent[i].title));
        }
    }
}

void MpvEngine::readItems() {
    m_items = readPlaylist();
    m_indexById.clear();
    std::vector<int64_t> ids;
    ids.reserve(m_items.size());
    for (const auto& item : m_items)
        ids.push_back(item.id);
    m_cursor.setEntries(std::move(ids));
}

int MpvEngine::itemIndexOf(int64_t id) const {
    if (m_indexById.empty()) {
        m_indexById.reserve(m_items.size());
        for (std::size_t i = 0; i < m_items.size(); ++i)
            m_indexById.emplace(m_items[i].id, int(i));
    }
    const auto it = m_indexById.find(id);
    return it == m_indexById.end() ? -1 : it->second;
}

int MpvEngine::engineIndexOf(int64_t id) const {
    if (id < 0)
        return -1;
    if (const int i = itemIndexOf(id); i >= 0 && intProperty(entryKey(i, "id")) == id)
        return i;
    // The engine changed its list and the news is still on its way: ask it.
    const auto entries = readPlaylist();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].id == id)
            return int(i);
    }
    return -1;
}

void MpvEngine::playEntry(int64_t id) {
    const int index = engineIndexOf(id);
    if (index < 0)
        return;
    m_requestedId = id;
    command({"playlist-play-index", std::to_string(index).c_str()});
}

int64_t MpvEngine::playingId() const {
    const auto pos = intProperty("playlist-playing-pos");
    if (!pos || *pos < 0)
        return -1;
    return intProperty(entryKey(*pos, "id")).value_or(-1);
}

bool MpvEngine::hasCurrentMedia() const {
    return m_mpv && !flagProperty("idle-active");
}

// A web radio: from the network and without seeking. The engine's length for it only counts
// what it has received so far.
bool MpvEngine::isLiveStream() const {
    return flagProperty("demuxer-via-network") && !flagProperty("seekable");
}

void MpvEngine::setURL(const std::string& url) {
    m_url = url;
    if (!m_mpv)
        return;
    clear();
    if (url.empty())
        return;
    setProperty("pause", m_autoStart ? "no" : "yes");
    // A playlist file is expanded at once, so its entries can be listed right away: read here
    // when it is on disk, by the engine when it is on the web. Appended to the emptied engine,
    // nothing starts by itself: the first entry is ours to choose.
    const bool list = playback::isPlaylistFile(url);
    const std::string scheme = playback::schemeOf(url);
    if (list && (scheme.empty() || scheme == "file")) {
        appendList(url);
    } else {
        if (!command({list ? "loadlist" : "loadfile", url.c_str(), "append"}))
            return;
        readItems();
    }
    if (m_items.empty())
        return;
    if (list)
        m_nesting.listLoaded(url, m_items.front().id, m_items.back().id);
    playEntry(m_cursor.first().value_or(m_items.front().id));
}

void MpvEngine::clear() {
    command({"stop"}); // empties the engine's list too
    m_items.clear();
    m_indexById.clear();
    m_listTitles.clear();
    m_cursor.reset();
    m_nesting.reset();
    m_resumeId = -1;
    m_requestedId = -1;
}

int MpvEngine::currentIndex() const {
    const auto pos = intProperty("playlist-current-pos");
    return pos && *pos >= 0 && *pos < int64_t(m_items.size()) ? int(*pos) : -1;
}

void MpvEngine::play() {
    if (hasCurrentMedia()) {
        setProperty("pause", "no");
        return;
    }
    // Stopped: start the entry that was current, else the first.
    int64_t id = engineIndexOf(m_resumeId) >= 0 ? m_resumeId : -1;
    if (id < 0 && !m_items.empty())
        id = m_items.front().id;
    if (id < 0)
        return;
    setProperty("pause", "no");
    playEntry(id);
}

void MpvEngine::pause() {
    if (hasCurrentMedia())
        setProperty("pause", "yes");
}

void MpvEngine::stop() {
    if (const int64_t id = playingId(); id >= 0)
        m_resumeId = id;
    command({"stop", "keep-playlist"});
}

void MpvEngine::next() {
    if (!m_cursor.shuffle())
        command({"playlist-next"}); // in list order the engine steps itself
    else if (const auto next = m_cursor.next(playingId()))
        playEntry(*next);
}

void MpvEngine::previous() {
    if (m_cursor.shuffle()) {
        if (const auto back = m_cursor.previous(playingId())) {
            playEntry(*back);
            return;
        }
    }
    command({"playlist-prev"});
}

double MpvEngine::position() const {
    return hasCurrentMedia() ? std::max(0.0, doubleProperty("time-pos").value_or(0)) : 0;
}

void MpvEngine::setPosition(double seconds) {
    if (!hasCurrentMedia() || !std::isfinite(seconds))
        return;
    char to[64];
    std::snprintf(to, sizeof to, "%.6f", std::max(0.0, seconds));
    command({"seek", to, "absolute"});
}

void MpvEngine::playItem(const Entry& entry) {
    if (engineIndexOf(entry.id) < 0)
        return;
    setProperty("pause", "no");
    playEntry(entry.id);
}

// Set without waiting: it comes as the window is being built, while the engine's core may still
// be busy starting its video output.
void MpvEngine::setLoop(bool on) {
    m_cursor.setLoop(on);
    if (!m_mpv)
        return;
    const char* value = on ? "inf" : "no";
    mpv_set_property_async(m_mpv, 0, "loop-playlist", MPV_FORMAT_STRING, &value);
}

// Only the choice of what plays next: the track playing goes on, the list keeps its order, and
// what already played in this pass does not play again.
void MpvEngine::setShuffle(bool on) {
    m_cursor.setShuffle(on);
}

void MpvEngine::setMuted(bool on) {
    setProperty("mute", on ? "yes" : "no");
}

// As the engine last told it; a web radio's length only counts what has come so far.
Transport MpvEngine::transport() const {
    Transport t = m_transport;
    if (!t.loaded || (m_viaNetwork && !t.seekable))
        t.duration.reset();
    return t;
}

int MpvEngine::volume() const {
    return int(std::lround(doubleProperty("volume").value_or(0)));
}

void MpvEngine::setVolume(int volume) {
    setProperty("volume", std::to_string(std::clamp(volume, 0, 100)));
}

// The item

std::string MpvEngine::itemName() const {
    if (std::string title = stringProperty("metadata/by-key/title"); !title.empty())
        return title;
    std::string listTitle;
    if (const auto pos = intProperty("playlist-playing-pos"); pos && *pos >= 0)
        listTitle = titleOf(intProperty(entryKey(*pos, "id")).value_or(-1),
                            stringProperty(entryKey(*pos, "title")));
    return playback::entryName(stringProperty("path"), listTitle);
}

std::string MpvEngine::bitrate() const {
    auto rate = intProperty("current-tracks/audio/demux-bitrate");
    if (!rate || *rate <= 0)
        rate = intProperty("audio-bitrate");
    return rate && *rate > 0 ? std::to_string(*rate) : std::string();
}

playback::Track MpvEngine::currentTrack() const {
    playback::Track track;
    if (!hasCurrentMedia())
        return track;
    track.entryId = playingId();
    track.sourceURL = stringProperty("path");
    if (const auto seconds = doubleProperty("duration");
        !isLiveStream() && seconds && std::isfinite(*seconds) && *seconds >= 0)
        track.seconds = seconds;
    track.durationString = playback::durationText(track.seconds);
    // A web radio's own title, when it sends one, gives the author and the name.
    const auto stream = playback::splitStreamTitle(stringProperty("metadata/by-key/icy-title"));
    track.name = stream.title.empty() ? itemName() : stream.title;
    track.author = stream.title.empty() ? stringProperty("metadata/by-key/artist") : stream.artist;
    track.bitrate = bitrate();
    if (const auto size = intProperty("file-size"))
        track.fileSize = std::to_string(*size);
    track.fileType = playback::fileTypeOf(track.sourceURL);
    if (track.fileType.empty()) {
        const std::string format = stringProperty("file-format");
        track.fileType = format.substr(0, format.find(','));
    }
    track.album = stringProperty("metadata/by-key/album");
    const std::string date = stringProperty("metadata/by-key/date");
    track.year = playback::yearOf(date.empty() ? stringProperty("metadata/by-key/year") : date);
    track.genre = stringProperty("metadata/by-key/genre");
    track.trackNumber = playback::trackNumberOf(stringProperty("metadata/by-key/track"));
    track.station = stringProperty("metadata/by-key/icy-name");
    return track;
}
