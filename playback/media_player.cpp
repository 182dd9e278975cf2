#include "playback/media_player.h"

#include <mpv/client.h>

#include <QFileInfo>
#include <QMetaObject>
#include <QUrl>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstring>

namespace playback {

namespace {

enum ObserveId : uint64_t { obsPause = 1, obsIdle, obsCount };

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
    opt("gpu-sw", "yes");

    if (mpv_initialize(m_mpv) < 0) {
        mpv_terminate_destroy(m_mpv);
        m_mpv = nullptr;
        return;
    }
    mpv_observe_property(m_mpv, obsPause, "pause", MPV_FORMAT_FLAG);
    mpv_observe_property(m_mpv, obsIdle, "idle-active", MPV_FORMAT_FLAG);
    mpv_observe_property(m_mpv, obsCount, "playlist-count", MPV_FORMAT_INT64);
    mpv_set_wakeup_callback(m_mpv, &MediaPlayer::onWakeup, this);
}

MediaPlayer::~MediaPlayer() {
    close();
}

void MediaPlayer::close() {
    if (!m_mpv)
        return;
    mpv_set_wakeup_callback(m_mpv, nullptr, nullptr);
    mpv_terminate_destroy(m_mpv); // returns once the core and its video output have shut down
    m_mpv = nullptr;
    m_pendingStates.clear();
    m_items.clear();
    m_itemsStale = false;
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
    while (m_mpv) {
        const mpv_event* event = mpv_wait_event(m_mpv, 0);
        if (event->event_id == MPV_EVENT_NONE)
            break;
        if (event->event_id == MPV_EVENT_SHUTDOWN)
            shutDown = true;
        handleEvent(*event);
        if (shutDown)
            break;
    }
    if (shutDown && m_mpv) {
        // The core went away by itself; keep running without it.
        mpv_set_wakeup_callback(m_mpv, nullptr, nullptr);
        mpv_terminate_destroy(m_mpv);
        m_mpv = nullptr;
        m_items.clear();
        m_itemsStale = false;
    }
    emitPending();
}

void MediaPlayer::handleEvent(const mpv_event& event) {
    std::optional<int> code;
    switch (event.event_id) {
    case MPV_EVENT_START_FILE:
        m_startingId = static_cast<const mpv_event_start_file*>(event.data)->playlist_entry_id;
        code = m_state.startFile();
        break;
    case MPV_EVENT_FILE_LOADED:
        code = m_state.fileLoaded(flagProperty("pause"));
        m_resumeId = playingId();
        break;
    case MPV_EVENT_PLAYBACK_RESTART:
        code = m_state.playbackRestart(flagProperty("pause"));
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
        if (reason == EndReason::Redirect)
            m_itemsStale = true;
        code = m_state.endFile(reason);
        break;
    }
    case MPV_EVENT_PROPERTY_CHANGE: {
        const auto* prop = static_cast<const mpv_event_property*>(event.data);
        if (event.reply_userdata == obsPause) {
            // Changes are coalesced: trust the value as it is now, not the event's.
            code = m_state.pauseChanged(flagProperty("pause"));
        } else if (event.reply_userdata == obsIdle && prop->format == MPV_FORMAT_FLAG &&
                   *static_cast<int*>(prop->data)) {
            code = m_state.idle();
        } else if (event.reply_userdata == obsCount && prop->format == MPV_FORMAT_INT64 &&
                   *static_cast<int64_t*>(prop->data) != static_cast<int64_t>(m_items.size())) {
            m_itemsStale = true;
        }
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
    if (*code == psPlaying && hasCurrentMedia() && playingId() == m_startingId)
        pending.started = currentMedia.snapshot();
    m_pendingStates.push_back(std::move(pending));
}

void MediaPlayer::emitPending() {
    // A handler may open a modal box, whose event loop drains again: the states that come while
    // it is up are reported from there, in order, as they happen, not held until it closes.
    while (!m_pendingStates.empty()) {
        PendingState next = std::move(m_pendingStates.front());
        m_pendingStates.pop_front();
        if (next.code == psPlaying)
            m_started = std::move(next.started);
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

std::vector<MediaPlayer::Entry> MediaPlayer::readPlaylist() const {
    std::vector<Entry> entries;
    mpv_node node;
    if (!m_mpv || mpv_get_property(m_mpv, "playlist", MPV_FORMAT_NODE, &node) < 0)
        return entries;
    if (node.format == MPV_FORMAT_NODE_ARRAY) {
        entries.reserve(node.u.list->num);
        for (int i = 0; i < node.u.list->num; ++i) {
            const mpv_node& item = node.u.list->values[i];
            Entry e;
            if (const auto* id = mapValue(item, "id"); id && id->format == MPV_FORMAT_INT64)
                e.id = id->u.int64;
            if (const auto* f = mapValue(item, "filename"); f && f->format == MPV_FORMAT_STRING)
                e.filename = QString::fromUtf8(f->u.string);
            if (const auto* t = mapValue(item, "title"); t && t->format == MPV_FORMAT_STRING)
                e.title = QString::fromUtf8(t->u.string);
            entries.push_back(std::move(e));
        }
    }
    mpv_free_node_contents(&node);
    return entries;
}

void MediaPlayer::ensureItems() const {
    if (!m_itemsStale)
        return;
    m_itemsStale = false;
    const auto entries = readPlaylist();
    std::vector<MediaItem> items;
    items.reserve(entries.size());
    auto toItem = [](const Entry& e) {
        return MediaItem{e.id, e.filename, entryName(e.filename, e.title)};
    };
    if (m_freshOrder) {
        for (const auto& e : entries)
            items.push_back(toItem(e));
    } else {
        // Keep the loaded order of entries still there; newcomers follow in engine order.
        std::vector<const Entry*> byId(entries.size());
        std::transform(entries.begin(), entries.end(), byId.begin(), [](auto& e) { return &e; });
        std::sort(byId.begin(), byId.end(), [](auto* a, auto* b) { return a->id < b->id; });
        auto find = [&](qint64 id) -> const Entry* {
            auto it = std::lower_bound(byId.begin(), byId.end(), id,
                                       [](const Entry* e, qint64 v) { return e->id < v; });
            return it != byId.end() && (*it)->id == id ? *it : nullptr;
        };
        std::vector<qint64> kept;
        for (const auto& old : m_items) {
            if (const Entry* e = find(old.id)) {
                items.push_back(toItem(*e));
                kept.push_back(e->id);
            }
        }
        std::sort(kept.begin(), kept.end());
        for (const auto& e : entries) {
            if (!std::binary_search(kept.begin(), kept.end(), e.id))
                items.push_back(toItem(e));
        }
    }
    m_items = std::move(items);
}

int MediaPlayer::engineIndexOf(qint64 id) const {
    const auto entries = readPlaylist();
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].id == id)
            return static_cast<int>(i);
    }
    return -1;
}

void MediaPlayer::playEngineIndex(int index) {
    if (index < 0)
        return;
    setProperty("pause", QStringLiteral("no"));
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

void MediaPlayer::setURL(const QString& url) {
    m_url = url;
    if (!m_mpv)
        return;
    m_freshOrder = true;
    m_itemsStale = true;
    m_resumeId = -1;
    if (url.isEmpty()) {
        command({"stop"});
        return;
    }
    setProperty("pause", settings.m_autoStart ? QStringLiteral("no") : QStringLiteral("yes"));
    const QByteArray target = url.toUtf8();
    // A playlist file is expanded at once, so its entries can be listed right away.
    const bool loaded = isPlaylistFile(url) ? command({"loadlist", target.constData(), "replace"})
                                            : command({"loadfile", target.constData(), "replace"});
    if (!loaded)
        return;
    ensureItems();
    m_freshOrder = false;
    if (settings.m_shuffle)
        command({"playlist-shuffle"});
}

// Playlist

void MediaPlayer::Playlist::clear() {
    m_p.command({"stop"});
    m_p.m_items.clear();
    m_p.m_itemsStale = false;
    m_p.m_freshOrder = true;
    m_p.m_resumeId = -1;
}

int MediaPlayer::Playlist::count() const {
    m_p.ensureItems();
    return static_cast<int>(m_p.m_items.size());
}

std::optional<MediaItem> MediaPlayer::Playlist::Item(int index) const {
    m_p.ensureItems();
    if (index < 0 || index >= static_cast<int>(m_p.m_items.size()))
        return std::nullopt;
    return m_p.m_items[index];
}

// Controls

void MediaPlayer::Controls::play() {
    if (m_p.hasCurrentMedia()) {
        m_p.setProperty("pause", QStringLiteral("no"));
        return;
    }
    // Stopped: start the entry that was current, else the first.
    int index = m_p.m_resumeId >= 0 ? m_p.engineIndexOf(m_p.m_resumeId) : -1;
    if (index < 0 && m_p.intProperty("playlist-count").value_or(0) > 0)
        index = 0;
    m_p.playEngineIndex(index);
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
    m_p.command({"playlist-next"});
}

void MediaPlayer::Controls::previous() {
    m_p.command({"playlist-prev"});
}

void MediaPlayer::Controls::playItem(const MediaItem& item) {
    m_p.playEngineIndex(m_p.engineIndexOf(item.id));
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
    } else if (mode == u"shuffle" && on != m_shuffle) {
        m_shuffle = on;
        // Reorders what plays next; the track playing goes on, and the list keeps its order.
        m_p.command({on ? "playlist-shuffle" : "playlist-unshuffle"});
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
    if (QString title = m_p.stringProperty("metadata/by-key/title"); !title.isEmpty())
        return title;
    QString listTitle;
    if (const auto pos = m_p.intProperty("playlist-playing-pos"); pos && *pos >= 0)
        listTitle =
            m_p.stringProperty(("playlist/" + QByteArray::number(*pos) + "/title").constData());
    return entryName(m_p.stringProperty("path"), listTitle);
}

QString MediaPlayer::Media::durationString() const {
    return m_p.hasCurrentMedia() ? durationText(m_p.doubleProperty("duration")) : QString();
}

MediaSnapshot MediaPlayer::Media::snapshot() const {
    return {sourceURL(),
            name(),
            durationString(),
            getItemInfo(QStringLiteral("Author")),
            getItemInfo(QStringLiteral("Bitrate")),
            getItemInfo(QStringLiteral("FileSize")),
            getItemInfo(QStringLiteral("FileType"))};
}

QString MediaPlayer::Media::getItemInfo(const QString& attribute) const {
    if (!m_p.hasCurrentMedia())
        return {};
    if (attribute == u"Author")
        return m_p.stringProperty("metadata/by-key/artist");
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
