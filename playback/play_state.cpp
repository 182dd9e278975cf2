#include "playback/play_state.h"

namespace playback {

std::optional<int> PlayStateMachine::report(int code) {
    if (m_dead || code == m_last)
        return std::nullopt;
    m_last = code;
    return code;
}

std::optional<int> PlayStateMachine::startFile() {
    m_loaded = false;
    m_awaitingStart = true;
    return report(psTransitioning);
}

std::optional<int> PlayStateMachine::fileLoaded(bool paused) {
    m_loaded = true;
    m_paused = paused;
    // Unpaused tracks report Playing once the first frame is out (playback-restart).
    return paused ? report(psReady) : std::nullopt;
}

std::optional<int> PlayStateMachine::playbackRestart(bool paused) {
    m_paused = paused;
    // Restarts also follow every seek; only the first one of a track counts.
    if (!m_loaded || !m_awaitingStart || paused)
        return std::nullopt;
    m_awaitingStart = false;
    return report(psPlaying);
}

std::optional<int> PlayStateMachine::pauseChanged(bool paused) {
    if (paused == m_paused)
        return std::nullopt;
    m_paused = paused;
    if (!m_loaded)
        return std::nullopt;
    if (paused)
        return report(psPaused);
    m_awaitingStart = false;
    return report(psPlaying);
}

std::optional<int> PlayStateMachine::endFile(EndReason reason) {
    m_loaded = false;
    m_awaitingStart = false;
    // A playlist file handing over to its entries is no end of media.
    if (reason == EndReason::Eof)
        return report(psMediaEnded);
    return std::nullopt;
}

std::optional<int> PlayStateMachine::idle() {
    m_loaded = false;
    m_awaitingStart = false;
    return report(psStopped);
}

std::optional<int> PlayStateMachine::shutdown() {
    auto code = idle();
    m_dead = true;
    return code;
}

} // namespace playback
