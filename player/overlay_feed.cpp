#include "player/overlay_feed.h"

#include "announce/field_files.h"

#include <utility>

namespace player {

using announce::OverlayServer;
using announce::OverlayState;
using playback::PlayState;

std::string OverlayFeed::start(int port, const std::string& coverFolder) {
    auto server = std::make_unique<OverlayServer>();
    switch (server->start(port)) {
    case OverlayServer::Start::Listening:
        break;
    case OverlayServer::Start::PortTaken:
        return "Страница для трансляции не открыта: порт " + std::to_string(port) +
               " уже занят другой программой. Укажите другой OverlayPort в mirc.ini.";
    case OverlayServer::Start::Failed:
        return "Страница для трансляции не открыта: порт " + std::to_string(port) + " недоступен.";
    }
    m_server = std::move(server);
    m_coverFile = coverFolder + ".overlay-cover.png";
    publish();
    return {};
}

void OverlayFeed::stop() {
    ++*m_turn;
    m_server.reset();
}

void OverlayFeed::update(PlayState state, const playback::Track* shown, std::string json) {
    if (!m_server)
        return;
    if (state == PlayState::Stopped || state == PlayState::Undefined || !shown) {
        m_state = {};
        m_coverOf.clear();
        m_cover.forget(); // played again, it is taken again
        ++*m_turn;
        return publish();
    }
    // On the way from one entry to the next: the page keeps the last until the next plays.
    if (state != PlayState::Playing && state != PlayState::Paused)
        return;
    m_state.play =
        state == PlayState::Playing ? OverlayState::Play::Playing : OverlayState::Play::Paused;
    m_state.artist = shown->author;
    m_state.title = shown->name;
    m_state.duration = shown->seconds;
    m_state.position = m_engine.position();
    m_state.json = std::move(json);
    if (shown->sourceURL != m_coverOf)
        takeCover(*shown);
    publish();
}

void OverlayFeed::seeked(double position) {
    if (!m_server || m_state.play == OverlayState::Play::Stopped)
        return;
    m_state.position = position;
    publish();
}

// The cover the field files took for this start, else taken here by their rule. The page shows
// the track at once and its cover once it is in.
void OverlayFeed::takeCover(const playback::Track& track) {
    m_coverOf = track.sourceURL;
    m_state.cover.reset();
    m_state.coverType.clear();
    const uint64_t turn = ++*m_turn;
    std::weak_ptr<uint64_t> alive = m_turn;
    m_cover.share(track, m_coverFile, [this, alive, turn](const std::string& bytes) {
        const std::shared_ptr<uint64_t> now = alive.lock();
        if (!now || *now != turn || bytes.empty())
            return;
        m_state.coverType = announce::pictureType(bytes) == "png" ? "image/png" : "image/jpeg";
        m_state.cover = std::make_shared<const std::string>(bytes);
        publish();
    });
}

void OverlayFeed::publish() {
    if (m_server)
        m_server->publish(m_state);
}

} // namespace player
