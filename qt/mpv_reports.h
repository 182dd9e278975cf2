#pragma once

// What the core's events come to for the program: play states and a station's new titles,
// queued in the order they came for the listener, and the control bar's transport; and the track
// as the core has it now.

#include "playback/play_state.h"
#include "playback/track.h"
#include "player/engine.h"
#include "qt/transport.h"

#include <deque>
#include <optional>
#include <string>

class MpvHandle;
class MpvList;
struct mpv_event;

class MpvReports {
public:
    // A report waiting to reach the listener: a play state, or a stream's new title.
    struct Pending {
        enum class Kind { State, Title } kind = Kind::State;
        playback::PlayState state = playback::PlayState::Undefined; // for a State
        playback::Track item;
    };

    MpvReports(const MpvHandle& mpv, const MpvList& list) : m_mpv(mpv), m_list(list) {}

    // The properties whose changes come as events, asked for before the core starts.
    static void watch(MpvHandle& mpv);

    // The core's events.
    void startFile();
    void fileLoaded();
    void seekStarted() { m_seeking = true; }
    // A restart of play; true when it finished a seek rather than began a track.
    bool playbackRestart();
    void endFile(playback::EndReason reason);
    void shutdown();
    void propertyChanged(const mpv_event& event, player::EngineListener* listener);

    // The oldest report waiting, taken off the queue.
    std::optional<Pending> takePending();
    void clearPending() { m_pending.clear(); }
    // Whether the transport may have changed since last asked.
    bool takeTransportChanged();

    // The item now loaded, read now.
    playback::Track currentTrack() const;
    // As the core last told it; a web radio's length only counts what has come so far.
    Transport transport() const;

private:
    void report(std::optional<playback::PlayState> state);
    void tagsChanged();
    bool isLiveStream() const;
    std::string itemName() const;
    std::string bitrate() const;

    const MpvHandle& m_mpv;
    const MpvList& m_list;
    playback::PlayStateMachine m_state;
    std::deque<Pending> m_pending;
    bool m_seeking = false; // a seek is under way; its restart is no start
    Transport m_transport;  // as the core's events tell it
    bool m_viaNetwork = false;
    bool m_transportChanged = false;
    std::string m_streamTitle; // the stream's own title as last seen or reported
};
