#pragma once

#include <optional>

namespace playback {

// The control's play-state codes, as callers of PlayStateChange know them.
enum PlayStateCode : int {
    psStopped = 1,
    psPaused = 2,
    psPlaying = 3,
    psMediaEnded = 8,
    psTransitioning = 9,
    psReady = 10,
};

enum class EndReason { Eof, Stop, Quit, Error, Redirect };

// Turns the engine's events into play-state codes. Pure, so recorded event
// sequences can be replayed in tests. Each input returns the code to report, if any.
class PlayStateMachine {
public:
    std::optional<int> startFile();
    std::optional<int> fileLoaded(bool paused);
    std::optional<int> playbackRestart(bool paused);
    std::optional<int> pauseChanged(bool paused);
    std::optional<int> endFile(EndReason reason);
    std::optional<int> idle();
    std::optional<int> shutdown();

    bool isPlaying() const { return m_last == psPlaying; }

private:
    std::optional<int> report(int code);

    bool m_loaded = false;
    bool m_awaitingStart = false; // a track started loading and has not yet been reported Playing
    bool m_paused = false;
    bool m_dead = false;
    int m_last = 0;
};

} // namespace playback
