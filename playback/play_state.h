#pragma once

#include <optional>

namespace playback {

// What an engine tells of its play. Undefined: nothing told yet, or media that could not be
// opened. Other: a passing state of an engine's own (buffering, waiting) that changes nothing.
enum class PlayState {
    Undefined,
    Stopped,
    Paused,
    Playing,
    MediaEnded,
    Transitioning,
    Ready,
    Other
};

enum class EndReason { Eof, Stop, Quit, Error, Redirect };

// Turns the engine's events into play states. Pure, so recorded event sequences can be replayed
// in tests. Each input returns the state to report, if any.
class PlayStateMachine {
public:
    std::optional<PlayState> startFile();
    std::optional<PlayState> fileLoaded(bool paused);
    std::optional<PlayState> playbackRestart(bool paused);
    std::optional<PlayState> pauseChanged(bool paused);
    std::optional<PlayState> endFile(EndReason reason);
    std::optional<PlayState> idle();
    std::optional<PlayState> shutdown();

    bool isPlaying() const { return m_last == PlayState::Playing; }

private:
    std::optional<PlayState> report(PlayState state);

    bool m_loaded = false;
    bool m_awaitingStart = false; // a track started loading and has not yet been reported Playing
    bool m_paused = false;
    bool m_dead = false;
    PlayState m_last = PlayState::Undefined;
};

} // namespace playback
