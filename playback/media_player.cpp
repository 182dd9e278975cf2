#include "playback/media_player.h"

#include <mpv/client.h>

#include <QFileInfo>
#include <QMetaObject>
#include <QUrl>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstring>
#include <utility>

namespace playback {

namespace {

// The engine properties the wrapper watches, and what a change of each means. The engine tells of
// each change itself, whoever made it: the window, the desktop, or the on-screen controls.
enum class Watch { Pause, Idle, Volume, Tags, Media };
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
    {"duration", MPV_FORMAT_NONE, Watch::Media},
};
enum HookId : uint64_t { hookOpening = 1, hookUnloading, hookAfterEnd };

// Events handled in one turn; the rest wait for the next, so the window keeps its share.
constexpr int kEventsPerTurn = 64;

QString fromUtf8(const char* text) {
    return text ? QString::fromUtf8(text) : QString();
}

bool isPlaylistFile(const QString& url) {
    const QString suffix = QFileInfo(QUrl(url).path()).suffix().toLower();
    return suffix == u"m3u" || suffix == u"m3u8" || suffix == u"pls";
}

// The last path segment of a file name or an address.
QString lastSegment(const QString& filename) {
    if (filename.contains(u"://")) {
        const QString name = QUrl(filename).fileName();
        return name.isEmpty() ? filename : name;
    }
    return QFileInfo(filename).fileName();
}

const mpv_node* mapValue(const mpv_node& map, const char* key) {
    if (map.format != MPV_FORMAT_NODE_MAP)
        return nullptr;
    for (int i = 0; i < map.u.list->num; ++i) {
        if (std::strcmp(map.u.list->keys[i], key) == 0)
            return &map.u.list->values[i];
    }
    return nullptr;
}

} // namespace

QString durationText(std::optional<double> seconds) {
    if (!seconds || !std::isfinite(*seconds) || *seconds < 0)
        return {};
    const auto total = static_cast<qint64>(*seconds);
    const qint64 h = total / 3600, m = total / 60 % 60, s = total % 60;
    auto two = [](qint64 v) { return QString::number(v).rightJustified(2, u'0'); };
    const QString ms = two(m) + u':' + two(s);
    return h > 0 ? two(h) + u':' + ms : ms;
}

QString entryName(const QString& filename, const QString& title) {
    if (!title.isEmpty())
        return title;
    const QString file = lastSegment(filename);
    const int dot = file.lastIndexOf(u'.');
    return dot > 0 ? file.left(dot) : file;
}

StreamTitle splitStreamTitle(const QString& streamTitle) {
    QString text = streamTitle;
    for (QChar& c : text) {
        if (c < u' ' || c == u'\x7f')
            c = u' ';
    }
    const qsizetype dash = text.indexOf(u" - ");
    if (dash >= 0) {
        QString artist = text.left(dash).trimmed();
        QString title = text.sliced(dash + 3).trimmed();
        if (!artist.isEmpty() && !title.isEmpty())
            return {std::move(artist), std::move(title)};
    }
    return {{}, text.trimmed()};
}

QString yearOf(const QString& tag) {
    const QString text = tag.trimmed();
    auto digit = [&](qsizetype i) { return text[i] >= u'0' && text[i] <= u'9'; };
    if (text.size() >= 4 && digit(0) && digit(1) && digit(2) && digit(3) &&
        (text.size() == 4 || !digit(4)))
        return text.left(4);
    return text;
}

QString trackNumberOf(const QString& tag) {
    return tag.section(u'/', 0, 0).trimmed();
}

MediaPlayer::MediaPlayer(const EngineOptions& options, QObject* parent) : QObject(parent) {
    // The engine parses numbers with the C library; a comma locale breaks it.
    std::setlocale(LC_NUMERIC, "C");
    m_mpv = mpv_create();
    if (!m_mpv)
        return;

    auto opt = [this](const char* name, const QByteArray& value) {
        mpv_set_option_string(m_mpv, name, value.constData());
    };
    if (options.wid) {
        int64_t wid = *options.wid;
        mpv_set_option(m_mpv, "wid", MPV_FORMAT_INT64, &wid);
        opt("force-window", "yes"); // audio files get a window, and so the on-screen controls
    } else {
        opt("vo", "null");
    }
    if (!options.vo.isEmpty())
        opt("vo", options.vo.toUtf8());
    if (!options.ao.isEmpty())
        opt("ao", options.ao.toUtf8());
    opt("osc", "yes");
    // The on-screen controls stay in view below the picture, never over it, as the full mode of
    // the control shows them. An empty player stays dark, without English hints.
    opt("script-opts", "osc-visibility=always,osc-boxvideo=yes,osc-idlescreen=no");
    opt("idle", "yes");
    // The engine must never quit, or change the playlist, on its own.
    opt("input-default-bindings", "no");
    opt("input-vo-keyboard", "no");
    opt("drag-and-drop", "no");
    opt("audio-fallback-to-null", "yes");
    opt("ytdl", "no");
    opt("volume", "50");
    opt("volume-max", "100"); // the on-screen controls' wheel stays within the control's 0..100
    opt("gpu-sw", "yes");

    if (mpv_initialize(m_mpv) < 0) {
        mpv_terminate_destroy(m_mpv);
        m_mpv = nullptr;
        return;
    }
    for (uint64_t i = 0; i < std::size(kWatched); ++i)
        mpv_observe_property(m_mpv, i + 1, kWatched[i].name, kWatched[i].format);
    mpv_hook_add(m_mpv, hookOpening, "on_load", 0);
    // Held until the window has seen the track start: it reads the track's details then.
    mpv_hook_add(m_mpv, hookUnloading, "on_unload", 0);
    mpv_hook_add(m_mpv, hookAfterEnd, "on_after_end_file", 0);
    mpv_set_wakeup_callback(m_mpv, &MediaPlayer::onWakeup, this);
}

MediaPlayer::~MediaPlayer() {
    close();
}

void MediaPlayer::close() {
    if (!m_mpv)
        return;
    release();
    m_pendingStates.clear();
}

void MediaPlayer::release() {
    mpv_set_wakeup_callback(m_mpv, nullptr, nullptr);
    mpv_terminate_destroy(m_mpv); // returns once the core and its video output have shut down
    m_mpv = nullptr;
    m_items.clear();
    m_indexById.clear();
    m_awaitingAfterEnd = false;
}

void MediaPlayer::onWakeup(void* self) {
    // Runs on an engine thread: only hand over to the GUI thread.
    auto* p = static_cast<MediaPlayer*>(self);
    if (!p->m_wakeupPending.exchange(true))
        QMetaObject::invokeMethod(p, &MediaPlayer::drainEvents, Qt::QueuedConnection);
}

void MediaPlayer::drainEvents() {
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
    if (shutDown && m_mpv) {
        release(); // the core went away by itself; keep running without it
    }
    emitPending();
}

void MediaPlayer::handleEvent(const mpv_event& event) {
    std::optional<int> code;
    switch (event.event_id) {
    case MPV_EVENT_START_FILE:
        m_openingId = static_cast<const mpv_event_start_file*>(event.data)->playlist_entry_id;
        m_unasked = m_requestedId >= 0 && m_openingId != m_requestedId;
        if (m_openingId == m_requestedId)
            m_requestedId = -1;
        code = m_state.startFile();
        break;
    case MPV_EVENT_FILE_LOADED:
        code = m_state.fileLoaded(flagProperty("pause"));
        m_resumeId = m_openingId;
        m_pass.loaded(m_openingId);
        break;
    case MPV_EVENT_SEEK:
        m_seeking = true;
        break;
    case MPV_EVENT_PLAYBACK_RESTART:
        code = m_state.playbackRestart(flagProperty("pause"));
        if (std::exchange(m_seeking, false) && !code)
            emit PositionChange(controls.currentPosition());
        break;
    case MPV_EVENT_END_FILE: {
        const auto* end = static_cast<const mpv_event_end_file*>(event.data);
        EndReason reason = EndReason::Stop;
        switch (end->reason) {
        case MPV_END_FILE_REASON_EOF:
            reason = EndReason::Eof;
            break;
        case MPV_END_FILE_REASON_QUIT:
            reason = EndReason::Quit;
            break;
        case MPV_END_FILE_REASON_ERROR:
            reason = EndReason::Error;
            break;
        case MPV_END_FILE_REASON_REDIRECT:
            reason = EndReason::Redirect;
            break;
        default:
            break;
        }
        m_endedId = end->playlist_entry_id;
        m_endReason = reason;
        m_awaitingAfterEnd = true;
        if (reason == EndReason::Redirect) {
            // A folder or a list, replaced in place by its entries.
            const int at = itemIndexOf(m_endedId);
            if (at >= 0)
                m_nesting.expanded(m_endedId, m_items[at].sourceURL, end->playlist_insert_id,
                                   end->playlist_insert_num_entries);
            readItems();
            m_listChanged = true;
        }
        code = m_state.endFile(reason);
        break;
    }
    case MPV_EVENT_PROPERTY_CHANGE: {
        const auto* prop = static_cast<const mpv_event_property*>(event.data);
        if (event.reply_userdata < 1 || event.reply_userdata > std::size(kWatched))
            break;
        switch (kWatched[event.reply_userdata - 1].what) {
        case Watch::Pause:
            // Changes are coalesced: trust the value as it is now, not the event's.
            code = m_state.pauseChanged(flagProperty("pause"));
            break;
        case Watch::Idle:
            if (prop->format == MPV_FORMAT_FLAG && *static_cast<int*>(prop->data))
                code = m_state.idle();
            break;
        case Watch::Volume:
            if (prop->format == MPV_FORMAT_DOUBLE)
                emit VolumeChange(settings.volume());
            break;
        case Watch::Tags:
            tagsChanged();
            emit MediaChange();
            break;
        case Watch::Media:
            emit MediaChange();
            break;
        }
        break;
    }
    case MPV_EVENT_HOOK: {
        const uint64_t id = static_cast<const mpv_event_hook*>(event.data)->id;
        if (event.reply_userdata == hookOpening)
            openingEntry();
        else if (event.reply_userdata == hookAfterEnd)
            afterEntryEnd();
        // The window sees what happened before the engine moves on.
        emitPending();
        if (m_mpv)
            mpv_hook_continue(m_mpv, id);
        break;
    }
    case MPV_EVENT_SHUTDOWN:
        code = m_state.shutdown();
        break;
    default:
        break;
    }
    if (!code)
        return;
    PendingState pending{*code, {}};
    // Read now, while the engine may still be on it. If it has already gone on to another entry
    // (or to none), the details would be someone else's: leave them empty.
    if (*code == psPlaying && hasCurrentMedia() && playingId() == m_openingId) {
        pending.started = currentMedia.snapshot();
        m_streamTitle = stringProperty("metadata/by-key/icy-title"); // told with this start
    }
    m_pendingStates.push_back(std::move(pending));
}

// The engine puts a stream's new title in place when play reaches it, so a change seen while
// playing is the new track's start. One seen while paused or starting comes with that start.
void MediaPlayer::tagsChanged() {
    QString title = stringProperty("metadata/by-key/icy-title");
    if (title == m_streamTitle)
        return; // the same title comes again with every block of the stream
    m_streamTitle = std::move(title);
    if (splitStreamTitle(m_streamTitle).title.isEmpty() || !m_state.isPlaying() ||
        playingId() != m_openingId)
        return;
    m_pendingStates.push_back({0, currentMedia.snapshot()});
}

void MediaPlayer::openingEntry() {
    if (std::exchange(m_unasked, false)) {
        // Still starting up, the engine went to the top of its list whatever was asked; the
        // entry asked for replaces this one before anything is opened.
        if (const int index = engineIndexOf(m_requestedId); index >= 0) {
            command({"playlist-play-index", QByteArray::number(index).constData()});
            return;
        }
        m_requestedId = -1; // gone from the list
    }
    m_pass.started(m_openingId);
    if (!m_nesting.mayOpen(m_openingId, stringProperty("path"))) {
        // Open nothing: the engine counts it a failure and goes on with the next entry.
        setProperty("stream-open-filename", QString());
    }
}

void MediaPlayer::afterEntryEnd() {
    m_awaitingAfterEnd = false;
    const bool ranOut = m_endReason == EndReason::Eof || m_endReason == EndReason::Error ||
                        m_endReason == EndReason::Redirect;
    if (!settings.m_shuffle) {
        // In list order the engine chooses; at the end it starts the list again, or stops.
        if (ranOut && settings.m_loop && !m_items.empty() && m_items.back().id == m_endedId)
            m_pass.newPass();
        return;
    }
    if (ranOut) {
        playAtRandom(m_endedId, true);
    } else if (const int ended = itemIndexOf(m_endedId);
               m_endReason == EndReason::Stop && m_requestedId < 0 && ended >= 0) {
        // Not asked for by us: the on-screen controls' next or previous.
        const qint64 current = intProperty("playlist-current-pos").value_or(-1);
        if (current == ended + 1) {
            playAtRandom(m_endedId, false);
        } else if (current == ended - 1) {
            if (const auto back = m_pass.previous())
                playEntry(*back);
        }
    }
}

void MediaPlayer::playAtRandom(qint64 ended, bool stopWhenDone) {
    auto next = m_pass.next(m_rng);
    if (!next && settings.m_loop && m_pass.anyLoaded()) {
        m_pass.newPass();
        next = m_pass.next(m_rng, ended);
    }
    if (next)
        playEntry(*next);
    else if (stopWhenDone)
        command({"playlist-play-index", "none"});
}

void MediaPlayer::emitPending() {
    // After an expansion, once the entry to play next is settled.
    if (m_listChanged && !m_awaitingAfterEnd) {
        m_listChanged = false;
        emit CurrentPlaylistChange();
    }
    // A handler may open a modal box, whose event loop drains again: the states that come while
    // it is up are reported from there, in order, as they happen, not held until it closes.
    while (!m_pendingStates.empty()) {
        PendingState next = std::move(m_pendingStates.front());
        m_pendingStates.pop_front();
        if (next.code == psPlaying || next.code == 0)
            m_started = std::move(next.started);
        if (next.code == 0)
            emit StreamTitleChange();
        else
            emit PlayStateChange(next.code);
    }
}

bool MediaPlayer::command(std::initializer_list<const char*> args) {
    if (!m_mpv)
        return false;
    std::vector<const char*> argv(args);
    argv.push_back(nullptr);
    return mpv_command(m_mpv, argv.data()) >= 0;
}

bool MediaPlayer::setProperty(const char* name, const QString& value) {
    return m_mpv && mpv_set_property_string(m_mpv, name, value.toUtf8().constData()) >= 0;
}

QString MediaPlayer::stringProperty(const char* name) const {
    if (!m_mpv)
        return {};
    char* value = mpv_get_property_string(m_mpv, name);
    QString text = fromUtf8(value);
    mpv_free(value);
    return text;
}

std::optional<qint64> MediaPlayer::intProperty(const char* name) const {
    int64_t value = 0;
    if (!m_mpv || mpv_get_property(m_mpv, name, MPV_FORMAT_INT64, &value) < 0)
        return std::nullopt;
    return value;
}

std::optional<double> MediaPlayer::doubleProperty(const char* name) const {
    double value = 0;
    if (!m_mpv || mpv_get_property(m_mpv, name, MPV_FORMAT_DOUBLE, &value) < 0)
        return std::nullopt;
    return value;
}

bool MediaPlayer::flagProperty(const char* name) const {
    int value = 0;
    return m_mpv && mpv_get_property(m_mpv, name, MPV_FORMAT_FLAG, &value) >= 0 && value;
}

std::vector<MediaItem> MediaPlayer::readPlaylist() const {
    std::vector<MediaItem> items;
    mpv_node node;
    if (!m_mpv || mpv_get_property(m_mpv, "playlist", MPV_FORMAT_NODE, &node) < 0)
        return items;
    if (node.format == MPV_FORMAT_NODE_ARRAY) {
        items.reserve(node.u.list->num);
        for (int i = 0; i < node.u.list->num; ++i) {
            const mpv_node& entry = node.u.list->values[i];
            MediaItem item;
            QString title;
            if (const auto* id = mapValue(entry, "id"); id && id->format == MPV_FORMAT_INT64)
                item.id = id->u.int64;
            if (const auto* f = mapValue(entry, "filename"); f && f->format == MPV_FORMAT_STRING)
                item.sourceURL = QString::fromUtf8(f->u.string);
            if (const auto* t = mapValue(entry, "title"); t && t->format == MPV_FORMAT_STRING)
                title = QString::fromUtf8(t->u.string);
            item.name = entryName(item.sourceURL, title);
            items.push_back(std::move(item));
        }
    }
    mpv_free_node_contents(&node);
    return items;
}

void MediaPlayer::readItems() {
    m_items = readPlaylist();
    m_indexById.clear();
    std::vector<qint64> ids;
    ids.reserve(m_items.size());
    for (const auto& item : m_items)
        ids.push_back(item.id);
    m_pass.setEntries(std::move(ids));
}

int MediaPlayer::itemIndexOf(qint64 id) const {
    if (m_indexById.empty()) {
        m_indexById.reserve(m_items.size());
        for (size_t i = 0; i < m_items.size(); ++i)
            m_indexById.emplace(m_items[i].id, static_cast<int>(i));
    }
    const auto it = m_indexById.find(id);
    return it == m_indexById.end() ? -1 : it->second;
}

int MediaPlayer::engineIndexOf(qint64 id) const {
    if (id < 0)
        return -1;
    if (const int i = itemIndexOf(id); i >= 0) {
        const QByteArray key = "playlist/" + QByteArray::number(i) + "/id";
        if (intProperty(key.constData()) == id)
            return i;
    }
    // The engine changed its list and the news is still on its way: ask it.
    const auto entries = readPlaylist();
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].id == id)
            return static_cast<int>(i);
    }
    return -1;
}

void MediaPlayer::playEntry(qint64 id) {
    const int index = engineIndexOf(id);
    if (index < 0)
        return;
    m_requestedId = id;
    command({"playlist-play-index", QByteArray::number(index).constData()});
}

qint64 MediaPlayer::playingId() const {
    const auto pos = intProperty("playlist-playing-pos");
    if (!pos || *pos < 0)
        return -1;
    const QByteArray key = "playlist/" + QByteArray::number(*pos) + "/id";
    return intProperty(key.constData()).value_or(-1);
}

bool MediaPlayer::hasCurrentMedia() const {
    return m_mpv && !flagProperty("idle-active");
}

// A web radio: from the network and without seeking. The engine's length for it only counts
// what it has received so far.
bool MediaPlayer::isLiveStream() const {
    return flagProperty("demuxer-via-network") && !flagProperty("seekable");
}

void MediaPlayer::setURL(const QString& url) {
    m_url = url;
    if (!m_mpv)
        return;
    currentPlaylist.clear();
    if (url.isEmpty())
        return;
    setProperty("pause", settings.m_autoStart ? QStringLiteral("no") : QStringLiteral("yes"));
    const QByteArray target = url.toUtf8();
    // A playlist file is expanded at once, so its entries can be listed right away. Appended to
    // the emptied engine, nothing starts by itself: the first entry is ours to choose.
    const bool list = isPlaylistFile(url);
    if (!command({list ? "loadlist" : "loadfile", target.constData(), "append"}))
        return;
    readItems();
    if (m_items.empty())
        return;
    if (list)
        m_nesting.listLoaded(url, m_items.front().id, m_items.back().id);
    qint64 first = m_items.front().id;
    if (settings.m_shuffle)
        first = m_pass.next(m_rng).value_or(first);
    playEntry(first);
}

// Playlist

void MediaPlayer::Playlist::clear() {
    m_p.command({"stop"}); // empties the engine's list too
    m_p.m_items.clear();
    m_p.m_indexById.clear();
    m_p.m_pass.reset();
    m_p.m_nesting.reset();
    m_p.m_resumeId = -1;
    m_p.m_requestedId = -1;
}

int MediaPlayer::Playlist::count() const {
    return static_cast<int>(m_p.m_items.size());
}

std::optional<MediaItem> MediaPlayer::Playlist::Item(int index) const {
    if (index < 0 || index >= count())
        return std::nullopt;
    return m_p.m_items[index];
}

int MediaPlayer::Playlist::currentIndex() const {
    const auto pos = m_p.intProperty("playlist-current-pos");
    return pos && *pos >= 0 && *pos < count() ? static_cast<int>(*pos) : -1;
}

// Controls

void MediaPlayer::Controls::play() {
    if (m_p.hasCurrentMedia()) {
        m_p.setProperty("pause", QStringLiteral("no"));
        return;
    }
    // Stopped: start the entry that was current, else the first.
    qint64 id = m_p.engineIndexOf(m_p.m_resumeId) >= 0 ? m_p.m_resumeId : -1;
    if (id < 0 && !m_p.m_items.empty())
        id = m_p.m_items.front().id;
    if (id < 0)
        return;
    m_p.setProperty("pause", QStringLiteral("no"));
    m_p.playEntry(id);
}

void MediaPlayer::Controls::pause() {
    if (m_p.hasCurrentMedia())
        m_p.setProperty("pause", QStringLiteral("yes"));
}

void MediaPlayer::Controls::stop() {
    if (const qint64 id = m_p.playingId(); id >= 0)
        m_p.m_resumeId = id;
    m_p.command({"stop", "keep-playlist"});
}

void MediaPlayer::Controls::next() {
    if (m_p.settings.m_shuffle)
        m_p.playAtRandom(m_p.playingId(), false);
    else
        m_p.command({"playlist-next"});
}

void MediaPlayer::Controls::previous() {
    if (m_p.settings.m_shuffle) {
        if (const auto back = m_p.m_pass.previous()) {
            m_p.playEntry(*back);
            return;
        }
    }
    m_p.command({"playlist-prev"});
}

double MediaPlayer::Controls::currentPosition() const {
    return m_p.hasCurrentMedia() ? std::max(0.0, m_p.doubleProperty("time-pos").value_or(0)) : 0;
}

void MediaPlayer::Controls::setCurrentPosition(double seconds) {
    if (!m_p.hasCurrentMedia() || !std::isfinite(seconds))
        return;
    const QByteArray to = QByteArray::number(std::max(0.0, seconds), 'f', 6);
    m_p.command({"seek", to.constData(), "absolute"});
}

void MediaPlayer::Controls::playItem(const MediaItem& item) {
    if (m_p.engineIndexOf(item.id) < 0)
        return;
    m_p.setProperty("pause", QStringLiteral("no"));
    m_p.playEntry(item.id);
}

// Settings

bool MediaPlayer::Settings::getMode(const QString& mode) const {
    if (mode == u"loop")
        return m_loop;
    if (mode == u"shuffle")
        return m_shuffle;
    return false;
}

void MediaPlayer::Settings::setMode(const QString& mode, bool on) {
    if (mode == u"loop") {
        m_loop = on;
        m_p.setProperty("loop-playlist", on ? QStringLiteral("inf") : QStringLiteral("no"));
    } else if (mode == u"shuffle") {
        // Only the choice of what plays next: the track playing goes on, the list keeps its
        // order, and what already played in this pass does not play again.
        m_shuffle = on;
    }
}

int MediaPlayer::Settings::volume() const {
    return static_cast<int>(std::lround(m_p.doubleProperty("volume").value_or(0)));
}

void MediaPlayer::Settings::setVolume(int volume) {
    m_p.setProperty("volume", QString::number(std::clamp(volume, 0, 100)));
}

// Media

QString MediaPlayer::Media::sourceURL() const {
    return m_p.hasCurrentMedia() ? m_p.stringProperty("path") : QString();
}

QString MediaPlayer::Media::name() const {
    if (!m_p.hasCurrentMedia())
        return {};
    if (StreamTitle stream = splitStreamTitle(m_p.stringProperty("metadata/by-key/icy-title"));
        !stream.title.isEmpty())
        return stream.title;
    if (QString title = m_p.stringProperty("metadata/by-key/title"); !title.isEmpty())
        return title;
    QString listTitle;
    if (const auto pos = m_p.intProperty("playlist-playing-pos"); pos && *pos >= 0)
        listTitle =
            m_p.stringProperty(("playlist/" + QByteArray::number(*pos) + "/title").constData());
    return entryName(m_p.stringProperty("path"), listTitle);
}

QString MediaPlayer::Media::durationString() const {
    return durationText(duration());
}

std::optional<double> MediaPlayer::Media::duration() const {
    if (!m_p.hasCurrentMedia() || m_p.isLiveStream())
        return std::nullopt;
    const auto seconds = m_p.doubleProperty("duration");
    return seconds && std::isfinite(*seconds) && *seconds >= 0 ? seconds : std::nullopt;
}

qint64 MediaPlayer::Media::entryId() const {
    return m_p.hasCurrentMedia() ? m_p.playingId() : -1;
}

MediaSnapshot MediaPlayer::Media::snapshot() const {
    const std::optional<double> seconds = duration();
    return {sourceURL(),
            name(),
            durationText(seconds),
            getItemInfo(QStringLiteral("Author")),
            getItemInfo(QStringLiteral("Bitrate")),
            getItemInfo(QStringLiteral("FileSize")),
            getItemInfo(QStringLiteral("FileType")),
            getItemInfo(QStringLiteral("WM/AlbumTitle")),
            getItemInfo(QStringLiteral("WM/Year")),
            getItemInfo(QStringLiteral("WM/Genre")),
            getItemInfo(QStringLiteral("WM/TrackNumber")),
            getItemInfo(QStringLiteral("WM/RadioStationName")),
            seconds};
}

QString MediaPlayer::Media::getItemInfo(const QString& attribute) const {
    if (!m_p.hasCurrentMedia())
        return {};
    if (attribute == u"Author") {
        if (StreamTitle stream = splitStreamTitle(m_p.stringProperty("metadata/by-key/icy-title"));
            !stream.title.isEmpty())
            return stream.artist;
        return m_p.stringProperty("metadata/by-key/artist");
    }
    if (attribute == u"WM/AlbumTitle")
        return m_p.stringProperty("metadata/by-key/album");
    if (attribute == u"WM/Year") {
        QString tag = m_p.stringProperty("metadata/by-key/date");
        return yearOf(tag.isEmpty() ? m_p.stringProperty("metadata/by-key/year") : tag);
    }
    if (attribute == u"WM/Genre")
        return m_p.stringProperty("metadata/by-key/genre");
    if (attribute == u"WM/TrackNumber")
        return trackNumberOf(m_p.stringProperty("metadata/by-key/track"));
    if (attribute == u"WM/RadioStationName")
        return m_p.stringProperty("metadata/by-key/icy-name");
    if (attribute == u"Bitrate") {
        auto rate = m_p.intProperty("current-tracks/audio/demux-bitrate");
        if (!rate || *rate <= 0)
            rate = m_p.intProperty("audio-bitrate");
        return rate && *rate > 0 ? QString::number(*rate) : QString();
    }
    if (attribute == u"FileSize") {
        const auto size = m_p.intProperty("file-size");
        return size ? QString::number(*size) : QString();
    }
    if (attribute == u"FileType") {
        const QString path = m_p.stringProperty("path");
        const QString suffix = QFileInfo(path.contains(u"://") ? QUrl(path).path() : path).suffix();
        if (!suffix.isEmpty())
            return suffix.toLower();
        return m_p.stringProperty("file-format").section(u',', 0, 0);
    }
    return {};
}

} // namespace playback
