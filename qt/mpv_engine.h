#pragma once

// libmpv as the program's engine: the core (MpvHandle), what its events come to (MpvReports) and
// its list (MpvList), put together. Its events, and the parts of a list read on another thread,
// are taken on the GUI thread: their wakeup only queues the taking there.

#include "player/engine.h"
#include "qt/mpv_handle.h"
#include "qt/mpv_list.h"
#include "qt/mpv_reports.h"
#include "qt/transport.h"

#include <QObject>

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

struct mpv_event;

class MpvEngine final : public QObject, public player::Engine {
    Q_OBJECT
public:
    using Options = MpvHandle::Options;
    static constexpr int kStartVolume = MpvHandle::kStartVolume;

    explicit MpvEngine(const Options& options, QObject* parent = nullptr);
    ~MpvEngine() override;

    bool isRunning() const { return bool(m_mpv); }
    const std::string& URL() const { return m_url; }
    bool autoStart() const { return m_autoStart; }
    bool loop() const { return m_list.cursor().loop(); }
    bool shuffle() const { return m_list.cursor().shuffle(); }

    void setListener(player::EngineListener* listener) override { m_listener = listener; }
    player::EngineListener* listener() const { return m_listener; }
    void setURL(const std::string& url) override;
    void clear() override;
    const std::vector<player::Entry>& entries() const override { return m_list.entries(); }
    int currentIndex() const override { return m_list.currentIndex(); }
    void playItem(const player::Entry& entry) override {
        m_list.playItem(entry);
        settleHeld();
    }
    void play() override {
        m_list.play();
        settleHeld();
    }
    void pause() override;
    void stop() override {
        m_list.stop();
        settleHeld();
    }
    void next() override {
        m_list.next();
        settleHeld();
    }
    void previous() override {
        m_list.previous();
        settleHeld();
    }
    int volume() const override;
    void setVolume(int volume) override;
    double position() const override;
    void setPosition(double seconds) override;
    void setAutoStart(bool on) override { m_autoStart = on; }
    void setLoop(bool on) override;
    void setShuffle(bool on) override;
    // The window calls this while the native window the video is drawn into still exists.
    void saveCover(const std::string& pngFile, std::function<void(bool)> done) override;
    void close() override;

    // The item now loaded, read now: what a start reports.
    playback::Track currentTrack() const { return m_reports.currentTrack(); }

    // What the control bar shows, as the engine last told it; transportChanged tells when it may
    // have changed: a state, the volume, or a whole second of play.
    Transport transport() const { return m_reports.transport(); }
    void setMuted(bool on);

signals:
    void transportChanged();

private:
    static void onWakeup(void* self);
    void drainEvents();
    void release();
    void handleEvent(const mpv_event& event);
    void hook(const mpv_event& event);
    void coverTaken(const mpv_event& event);
    void emitPending();
    void continueHeld();
    // A command given while an end is held settles it: the core goes where it was told.
    void settleHeld();

    MpvHandle m_mpv;
    MpvList m_list{m_mpv, [this] { onWakeup(this); }};
    MpvReports m_reports{m_mpv, m_list};
    player::EngineListener* m_listener = nullptr;
    std::string m_url;
    bool m_autoStart = true;
    std::atomic<bool> m_wakeupPending{false};
    // The covers being taken, by their command's reply number.
    std::unordered_map<uint64_t, std::function<void(bool)>> m_covers;
    uint64_t m_lastCover = 0;
    // The end of an entry, held while more of its list is read.
    std::optional<uint64_t> m_heldHook;
};
