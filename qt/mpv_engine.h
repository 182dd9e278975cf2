#pragma once

// libmpv as the program's engine. Its events are read on the GUI thread: the engine's wakeup only
// queues the reading there.

#include "playback/list_cursor.h"
#include "playback/play_order.h"
#include "playback/play_state.h"
#include "player/engine.h"
#include "qt/transport.h"

#include <QObject>

#include <atomic>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

struct mpv_handle;
struct mpv_event;
struct mpv_event_end_file;

class MpvEngine final : public QObject, public player::Engine {
    Q_OBJECT
public:
    // How the engine shows itself: into a native window, or headless (no wid).
    struct Options {
        std::optional<int64_t> wid;
        std::string vo; // empty: the engine's own choice
        std::string ao;
    };

    static constexpr int kStartVolume = 50;

    explicit MpvEngine(const Options& options, QObject* parent = nullptr);
    ~MpvEngine() override;

    bool isRunning() const { return m_mpv != nullptr; }
    const std::string& URL() const { return m_url; }
    bool autoStart() const { return m_autoStart; }
    bool loop() const { return m_cursor.loop(); }
    bool shuffle() const { return m_cursor.shuffle(); }

    void setListener(player::EngineListener* listener) override { m_listener = listener; }
    player::EngineListener* listener() const { return m_listener; }
    void setURL(const std::string& url) override;
    void clear() override;
    const std::vector<player::Entry>& entries() const override { return m_items; }
    int currentIndex() const override;
    void playItem(const player::Entry& entry) override;
    void play() override;
    void pause() override;
    void stop() override;
    void next() override;
    void previous() override;
    int volume() const override;
    void setVolume(int volume) override;
    double position() const override;
    void setPosition(double seconds) override;
    void setAutoStart(bool on) override { m_autoStart = on; }
    void setLoop(bool on) override;
    void setShuffle(bool on) override;
    // The window calls this while the native window the video is drawn into still exists.
    void close() override;

    // The item now loaded, read now: what a start reports.
    playback::Track currentTrack() const;

    // What the control bar shows, as the engine last told it; transportChanged tells when it may
    // have changed: a state, the volume, or a whole second of play.
    Transport transport() const;
    void setMuted(bool on);

signals:
    void transportChanged();

private:
    // A report waiting to reach the listener: a play state, or a stream's new title.
    struct Pending {
        enum class Kind { State, Title } kind = Kind::State;
        playback::PlayState state = playback::PlayState::Undefined; // for a State
        playback::Track item;
    };

    static void onWakeup(void* self);
    void drainEvents();
    void release();
    void handleEvent(const mpv_event& event);
    std::optional<playback::PlayState> startFile(int64_t entryId);
    std::optional<playback::PlayState> endFile(const mpv_event_end_file& end);
    std::optional<playback::PlayState> propertyChanged(const mpv_event& event);
    void hook(const mpv_event& event);
    void report(playback::PlayState state);
    void emitPending();
    void tagsChanged();

    // The engine waits on these hooks.
    void openingEntry();  // an entry is about to be opened
    void afterEntryEnd(); // an entry ended, and the engine has not yet chosen the next
    void afterSkip();     // ended by a next or previous the engine took itself

    bool command(std::initializer_list<const char*> args);
    bool setProperty(const char* name, const std::string& value);
    std::string stringProperty(const std::string& name) const;
    std::optional<int64_t> intProperty(const std::string& name) const;
    std::optional<double> doubleProperty(const char* name) const;
    bool flagProperty(const char* name) const;
    std::vector<player::Entry> readPlaylist() const;
    void readItems();
    void appendList(const std::string& file);
    std::string titleOf(int64_t id, std::string engineTitle) const;
    int itemIndexOf(int64_t id) const;   // in m_items
    int engineIndexOf(int64_t id) const; // in the engine's list, checked against it
    void playEntry(int64_t id);
    bool hasCurrentMedia() const;
    bool isLiveStream() const;
    int64_t playingId() const;
    std::string itemName() const;
    std::string bitrate() const;

    mpv_handle* m_mpv = nullptr;
    player::EngineListener* m_listener = nullptr;
    std::string m_url;
    bool m_autoStart = true;
    playback::PlayStateMachine m_state;
    std::deque<Pending> m_pending;
    bool m_listChanged = false;
    std::atomic<bool> m_wakeupPending{false};

    // The engine's list, in its order, which is the order of the file.
    std::vector<player::Entry> m_items;
    mutable std::unordered_map<int64_t, int> m_indexById;  // built when first needed
    std::unordered_map<int64_t, std::string> m_listTitles; // of the entries of a list read here
    playback::ListCursor m_cursor;                         // also holds Repeat and random order
    playback::Nesting m_nesting;

    int64_t m_resumeId = -1;    // the entry that Play restarts after Stop
    int64_t m_requestedId = -1; // the entry asked for, until it starts
    bool m_unasked = false;     // the entry starting is not the one asked for
    int64_t m_openingId = -1;   // the entry last started
    int64_t m_endedId = -1;     // the entry last ended, and why
    playback::EndReason m_endReason = playback::EndReason::Stop;
    bool m_awaitingAfterEnd = false;
    bool m_seeking = false; // a seek is under way; its restart is no start
    Transport m_transport;  // as the engine's events tell it
    bool m_viaNetwork = false;
    bool m_transportChanged = false;
    std::string m_streamTitle; // the stream's own title as last seen or reported
};
