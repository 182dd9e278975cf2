// When a start's automatic announcement goes out, so that skipping through tracks floods no
// channel.
#pragma once
#include <QtGlobal>

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
    explicit AnnounceDelay(qint64 delayMs = 0) : m_delay(delayMs > 0 ? delayMs : 0) {}

    struct Step {
        bool announce = false;          // tell the channel now
        std::optional<qint64> wakeInMs; // call elapsed() after this long; none: no timer
    };

    // The track starts playing; resumed when it plays on straight after its own pause.
    Step started(qint64 nowMs, bool resumed);
    Step paused(qint64 nowMs);
    // Stopped, skipped or over; also a start that is not to be told.
    Step ended();
    // The user told the channel of this track by hand: it is not told again.
    Step told();
    // The timer came back.
    Step elapsed(qint64 nowMs);

    qint64 delayMs() const { return m_delay; }

private:
    enum class State { None, Waiting, Held, Told, ToldPaused };
    Step wait(qint64 nowMs, qint64 leftMs);

    qint64 m_delay;
    State m_state = State::None;
    qint64 m_left = 0;     // still to play before it is told (Waiting, Held)
    qint64 m_since = 0;    // when play last went on (Waiting)
    qint64 m_pausedAt = 0; // when the pause began (Held, ToldPaused)
};

} // namespace announce
