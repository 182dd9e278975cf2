#include "announce/announce_delay.h"

#include <algorithm>

namespace announce {

AnnounceDelay::Step AnnounceDelay::wait(int64_t nowMs, int64_t leftMs) {
    m_state = State::Waiting;
    m_left = leftMs;
    m_since = nowMs;
    return {false, leftMs};
}

AnnounceDelay::Step AnnounceDelay::started(int64_t nowMs, bool resumed) {
    if (m_delay == 0) {
        m_state = State::Told;
        return {true, std::nullopt};
    }
    if (resumed && m_state == State::Held)
        return wait(nowMs, m_left);
    if (resumed && m_state == State::ToldPaused && nowMs - m_pausedAt < m_delay) {
        m_state = State::Told;
        return {};
    }
    return wait(nowMs, m_delay);
}

AnnounceDelay::Step AnnounceDelay::paused(int64_t nowMs) {
    if (m_state == State::Waiting) {
        m_left = std::max<int64_t>(0, m_left - (nowMs - m_since));
        m_state = State::Held;
    } else if (m_state == State::Told) {
        m_state = State::ToldPaused;
    } else {
        return {};
    }
    m_pausedAt = nowMs;
    return {};
}

AnnounceDelay::Step AnnounceDelay::ended() {
    m_state = State::None;
    return {};
}

AnnounceDelay::Step AnnounceDelay::told() {
    if (m_state == State::Waiting)
        m_state = State::Told;
    else if (m_state == State::Held)
        m_state = State::ToldPaused;
    return {};
}

std::optional<int64_t> AnnounceDelay::wakeIn(int64_t nowMs) const {
    if (m_state != State::Waiting)
        return std::nullopt;
    return std::max<int64_t>(0, m_left - (nowMs - m_since));
}

AnnounceDelay::Step AnnounceDelay::elapsed(int64_t nowMs) {
    if (m_state != State::Waiting)
        return {};
    const int64_t played = nowMs - m_since;
    if (played < m_left)
        return {false, m_left - played}; // the timer came early
    m_state = State::Told;
    return {true, std::nullopt};
}

} // namespace announce
