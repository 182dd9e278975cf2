#include "playback/play_state.h"

namespace playback {

std::optional<PlayState> PlayStateMachine::report(PlayState state) {
    if (m_dead || state == m_last)
        return std::nullopt;
    m_last = state;
    return state;
}

std::optional<PlayState> PlayStateMachine::startFile() {
    m_loaded = false;
    m_awaitingStart = true;
    return report(PlayState::Transitioning);
}

std::optional<PlayState> PlayStateMachine::fileLoaded(bool paused) {
    m_loaded = true;
    m_paused = paused;
    // Unpaused tracks report Playing once the first frame is out (playback-restart).
    return paused ? report(PlayState::Ready) : std::nullopt;
}

std::optional<PlayState> PlayStateMachine::playbackRestart(bool paused) {
    m_paused = paused;
    // Restarts also follow every seek; only the first one of a track counts.
    if (!m_loaded || !m_awaitingStart || paused)
        return std::nullopt;
    m_awaitingStart = false;
    return report(PlayState::Playing);
}

std::optional<PlayState> PlayStateMachine::pauseChanged(bool paused) {
    if (paused == m_paused)
        return std::nullopt;
    m_paused = paused;
    if (!m_loaded)
        return std::nullopt;
    if (paused)
        return report(PlayState::Paused);
    m_awaitingStart = false;
    return report(PlayState::Playing);
}

std::optional<PlayState> PlayStateMachine::endFile(EndReason reason) {
    m_loaded = false;
    m_awaitingStart = false;
    // A playlist file handing over to its entries is no end of media.
    if (reason == EndReason::Eof)
        return report(PlayState::MediaEnded);
    return std::nullopt;
}

std::optional<PlayState> PlayStateMachine::idle() {
    m_loaded = false;
    m_awaitingStart = false;
    return report(PlayState::Stopped);
}

std::optional<PlayState> PlayStateMachine::shutdown() {
    auto state = idle();
    m_dead = true;
    return state;
}

} // namespace playback
