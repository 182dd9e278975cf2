// When a start's automatic announcement goes out, so that skipping through tracks floods no
// channel.
#pragma once
#include <cstdint>

#include <optional>

namespace announce {

// A track is told once it has really played the delay: paused time does not count, and a track
// that stops, is skipped or ends first is never told. A resume after a pause shorter than the
// delay goes on with the same hearing and is not told again; after a longer one it is a start
// like any other. With no delay every start, resumes included, is told at once.
//
// It keeps no clock: the caller gives the time of each event, in milliseconds of any steady
// clock, and after each step arms a single-shot timer for wakeInMs, or stops it when there is
// none.
class AnnounceDelay {
public:
    explicit AnnounceDelay(int64_t delayMs = 0) : m_delay(delayMs > 0 ? delayMs : 0) {}

    struct Step {
        bool announce = false;           // tell the channel now
        std::optional<int64_t> wakeInMs; // call elapsed() after this long; none: no timer
    };

    // The track starts playing; resumed when it plays on straight after its own pause.
    Step started(int64_t nowMs, bool resumed);
    Step paused(int64_t nowMs);
    // Stopped, skipped or over; also a start that is not to be told.
    Step ended();
    // The user told the channel of this track by hand: it is not told again.
    Step told();
    // The timer came back.
    Step elapsed(int64_t nowMs);

    // How long until elapsed() is due, as the last step said; none: no timer.
    std::optional<int64_t> wakeIn(int64_t nowMs) const;

    int64_t delayMs() const { return m_delay; }

private:
    enum class State { None, Waiting, Held, Told, ToldPaused };
    Step wait(int64_t nowMs, int64_t leftMs);

    int64_t m_delay;
    State m_state = State::None;
    int64_t m_left = 0;     // still to play before it is told (Waiting, Held)
    int64_t m_since = 0;    // when play last went on (Waiting)
    int64_t m_pausedAt = 0; // when the pause began (Held, ToldPaused)
};

} // namespace announce
