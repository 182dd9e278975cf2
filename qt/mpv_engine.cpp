#include "qt/mpv_engine.h"

#include <mpv/client.h>

#include <QMetaObject>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

enum HookId : uint64_t { hookOpening = 1, hookUnloading, hookAfterEnd };

// Events handled in one turn; the rest wait for the next, so the window keeps its share.
constexpr int kEventsPerTurn = 64;

// The replies to taking a cover; every other request asks for none (0).
constexpr uint64_t kCoverReplies = uint64_t(1) << 32;

} // namespace

MpvEngine::MpvEngine(const Options& options, QObject* parent) : QObject(parent) {
    if (!m_mpv.create(options))
        return;
    // All asked for before the core starts: once started, it brings up its video output at
    // once, and a hook added then would wait for that while the window is being built.
    MpvReports::watch(m_mpv);
    m_mpv.addHook(hookOpening, "on_load");
    // Held until the listener has seen the track start: it reads the track's details then.
    m_mpv.addHook(hookUnloading, "on_unload");
    m_mpv.addHook(hookAfterEnd, "on_after_end_file");
    m_mpv.start(&MpvEngine::onWakeup, this);
}

MpvEngine::~MpvEngine() {
    close();
}

void MpvEngine::close() {
    if (!m_mpv)
        return;
    release();
    m_reports.clearPending();
}

void MpvEngine::release() {
    m_list.stopReading();
    m_mpv.destroy(); // returns once the core and its video output have shut down
    m_list.forget();
    m_covers.clear();
    m_heldHook.reset();
}

// The engine decodes a song's embedded picture as its video: a still of that is the picture, in
// its own size, whatever the window shows of it. A picture it found beside the file is left to
// the program's own rule, which copies it as it is. A large picture takes the core a while to
// encode, so the window does not wait for it.
void MpvEngine::saveCover(const std::string& pngFile, std::function<void(bool)> done) {
    const uint64_t reply = kCoverReplies + ++m_lastCover;
    if (!m_mpv.hasMedia() || !m_mpv.flagProperty("current-tracks/video/albumart") ||
        m_mpv.flagProperty("current-tracks/video/external") ||
        !m_mpv.commandAsync(reply, {"screenshot-to-file", pngFile.c_str(), "video"}))
        return done(false);
    m_covers.emplace(reply, std::move(done));
}

void MpvEngine::coverTaken(const mpv_event& event) {
    const auto it = m_covers.find(event.reply_userdata);
    if (it == m_covers.end())
        return;
    const std::function<void(bool)> done = std::move(it->second);
    m_covers.erase(it);
    done(event.error >= 0);
}

void MpvEngine::onWakeup(void* self) {
    // Runs on an engine thread: only hand over to the GUI thread.
    auto* engine = static_cast<MpvEngine*>(self);
    if (!engine->m_wakeupPending.exchange(true))
        QMetaObject::invokeMethod(engine, &MpvEngine::drainEvents, Qt::QueuedConnection);
}

void MpvEngine::drainEvents() {
    m_wakeupPending = false;
    // A part of a list being read first, one a turn: the events after it may be about its entries.
    if (m_list.takeRead())
        onWakeup(this);
    if (m_heldHook && m_list.afterEntryEnd())
        continueHeld();
    bool shutDown = false;
    for (int handled = 0; m_mpv && !shutDown; ++handled) {
        if (handled == kEventsPerTurn) {
            onWakeup(this); // come back for the rest after the window's own events
            break;
        }
        const mpv_event* event = m_mpv.nextEvent();
        if (!event)
            break;
        shutDown = event->event_id == MPV_EVENT_SHUTDOWN;
        handleEvent(*event);
    }
    if (shutDown && m_mpv)
        release(); // the core went away by itself; keep running without it
    if (m_reports.takeTransportChanged())
        emit transportChanged();
    emitPending();
}

void MpvEngine::handleEvent(const mpv_event& event) {
    switch (event.event_id) {
    case MPV_EVENT_START_FILE:
        m_list.started(static_cast<const mpv_event_start_file*>(event.data)->playlist_entry_id);
        m_reports.startFile();
        break;
    case MPV_EVENT_FILE_LOADED:
        m_list.loaded();
        m_reports.fileLoaded();
        break;
    case MPV_EVENT_SEEK:
        m_reports.seekStarted();
        break;
    case MPV_EVENT_PLAYBACK_RESTART:
        if (m_reports.playbackRestart() && m_listener)
            m_listener->seeked(position());
        break;
    case MPV_EVENT_END_FILE:
        m_reports.endFile(m_list.ended(*static_cast<const mpv_event_end_file*>(event.data)));
        break;
    case MPV_EVENT_PROPERTY_CHANGE:
        m_reports.propertyChanged(event, m_listener);
        break;
    case MPV_EVENT_HOOK:
        hook(event);
        break;
    case MPV_EVENT_SHUTDOWN:
        m_reports.shutdown();
        break;
    case MPV_EVENT_COMMAND_REPLY:
        coverTaken(event);
        break;
    default:
        break;
    }
}

void MpvEngine::hook(const mpv_event& event) {
    const uint64_t id = static_cast<const mpv_event_hook*>(event.data)->id;
    if (event.reply_userdata == hookOpening)
        m_list.openingEntry();
    else if (event.reply_userdata == hookAfterEnd && !m_list.afterEntryEnd()) {
        m_heldHook = id;
        emitPending();
        return;
    }
    // The listener sees what happened before the core moves on.
    emitPending();
    m_mpv.continueHook(id);
}

void MpvEngine::emitPending() {
    // After an expansion, once the entry to play next is settled.
    if (m_list.takeListChanged() && m_listener)
        m_listener->playlistChanged();
    // A listener may open a modal box, whose event loop drains again: the states that come while
    // it is up are reported from there, in order, as they happen, not held until it closes.
    while (auto next = m_reports.takePending()) {
        if (!m_listener)
            continue;
        if (next->kind == MpvReports::Pending::Kind::Title)
            m_listener->titleChanged(next->item);
        else
            m_listener->playStateChanged(next->state, next->item);
    }
}

void MpvEngine::continueHeld() {
    m_mpv.continueHook(*m_heldHook);
    m_heldHook.reset();
}

void MpvEngine::settleHeld() {
    if (!m_heldHook)
        return;
    m_list.endSettled();
    continueHeld();
}

void MpvEngine::setURL(const std::string& url) {
    m_url = url;
    if (!m_mpv)
        return;
    clear();
    if (url.empty())
        return;
    m_mpv.setProperty("pause", m_autoStart ? "no" : "yes");
    m_list.load(url);
}

void MpvEngine::clear() {
    m_list.clear();
    settleHeld();
}

void MpvEngine::pause() {
    if (m_mpv.hasMedia())
        m_mpv.setProperty("pause", "yes");
}

double MpvEngine::position() const {
    return m_mpv.hasMedia() ? std::max(0.0, m_mpv.doubleProperty("time-pos").value_or(0)) : 0;
}

void MpvEngine::setPosition(double seconds) {
    if (!m_mpv.hasMedia() || !std::isfinite(seconds))
        return;
    char to[64];
    std::snprintf(to, sizeof to, "%.6f", std::max(0.0, seconds));
    m_mpv.command({"seek", to, "absolute"});
}

// Set without waiting: it comes as the window is being built, while the core may still be busy
// starting its video output.
void MpvEngine::setLoop(bool on) {
    m_list.cursor().setLoop(on);
    m_mpv.setPropertyAsync("loop-playlist", on ? "inf" : "no");
}

// Only the choice of what plays next: the track playing goes on, the list keeps its order, and
// what already played in this pass does not play again.
void MpvEngine::setShuffle(bool on) {
    m_list.cursor().setShuffle(on);
}

void MpvEngine::setMuted(bool on) {
    m_mpv.setProperty("mute", on ? "yes" : "no");
}

int MpvEngine::volume() const {
    return int(std::lround(m_mpv.doubleProperty("volume").value_or(0)));
}

void MpvEngine::setVolume(int volume) {
    m_mpv.setProperty("volume", std::to_string(std::clamp(volume, 0, 100)));
}
