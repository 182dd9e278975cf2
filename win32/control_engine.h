#pragma once

// The system's media-player control as the program's Engine. The control raises its events
// inside the very calls that cause them; they are queued here and handled once the call has
// returned (drain()), in the order they came. Where the control has no list of its own (or a
// call is missing), the engine steps through the list itself, one address at a time. A long list
// is read on a thread of its own and reaches the list in slices, so the window goes on answering.

#include "playback/list_cursor.h"
#include "playback/play_state.h"
#include "player/engine.h"
#include "win32/list_reader.h"
#include "win32/media_control.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

namespace win32 {

class ControlEngine final : public player::Engine {
public:
    // wake is called when events wait, so the window can call drain() from its own loop; it may
    // come from another thread. later asks for drain() once the window has seen to its input and
    // painting, for the next slice of a long list (wake when there is none).
    ControlEngine(MediaControl& control, std::function<void()> wake,
                  std::function<void()> later = {});

    // From the control's event sink.
    void queue(ControlEvent event);
    // Handles what has been queued. A listener's modal box may call it again from inside.
    void drain();

    void setListener(player::EngineListener* listener) override { m_listener = listener; }
    void setURL(const std::string& url) override;
    void clear() override;
    const std::vector<player::Entry>& entries() const override { return m_entries; }
    int currentIndex() const override { return m_current; }
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
    void setAutoStart(bool on) override;
    void setLoop(bool on) override;
    void setShuffle(bool on) override;
    void close() override;

    // The media now current, as a Track.
    playback::Track currentTrack() const;

private:
    void begin(player::Entry first);
    void arrived(std::vector<player::Entry> read, bool list, bool aside);
    void feed();
    void askLater();
    void show(std::size_t count);
    std::size_t total() const { return m_entries.size() + m_rest.size() - m_restAt; }
    void handle(const ControlEvent& event, bool current);
    void mediaChanged();
    void playing();
    void ended();
    void playEntry(int index);
    void open(int index, bool start);
    void playNext(bool fromEnd);
    void stopAtTheEnd();
    void stepTheRandomPass(int index);
    int64_t currentId() const;
    void controlLoops();
    void report(playback::PlayState state, const playback::Track& track = {});
    int indexOf(int64_t id) const;

    MediaControl* m_control;
    std::function<void()> m_wake;
    std::function<void()> m_later;
    player::EngineListener* m_listener = nullptr;
    struct Queued {
        ControlEvent event;
        unsigned opens; // raised after this many opens
    };
    std::deque<Queued> m_events;
    unsigned m_opens = 0;
    bool m_wakeAsked = false;

    std::vector<player::Entry> m_entries; // as far as the list is shown
    std::vector<player::Entry> m_rest;    // read, from m_restAt on still to show
    std::size_t m_restAt = 0;
    std::size_t m_slice = 0; // entries for the next slice
    bool m_feeding = false;
    std::unique_ptr<ListReader> m_reader; // a long list still being read
    std::string m_listName;
    int64_t m_nextId = 0;
    int64_t m_firstId = 0;      // the list's ids follow on from it, in its order
    bool m_controlList = false; // the control holds the list and steps through it itself
    int m_current = -1;
    int m_requested = -1; // asked to play; the control may start another one first
    bool m_heldTransition = false;
    bool m_openFailed = false; // the control said so while opening
    bool m_ended = false;      // the current entry came to its end, or failed
    int m_failedInRow = 0;     // so a list of nothing but failures is not gone round forever
    playback::PlayState m_state = playback::PlayState::Undefined; // last reported
    playback::Track m_told;        // the track last reported as started
    bool m_autoStart = true;       // as the control starts
    playback::ListCursor m_cursor; // also holds Repeat and random order
};

} // namespace win32
