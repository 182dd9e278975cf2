#pragma once

// What the overlay page's server is told: each change of what plays, with the cover its start
// took for the field files (taken here when they are off), from the window's thread. The server
// itself runs on a thread of its own.

#include "announce/field_files.h"
#include "announce/overlay_server.h"
#include "playback/play_state.h"
#include "playback/track.h"
#include "player/engine.h"

#include <cstdint>
#include <memory>
#include <string>

namespace player {

class OverlayFeed {
public:
    OverlayFeed(Engine& engine, announce::StartCover& cover) : m_engine(engine), m_cover(cover) {}
    OverlayFeed(const OverlayFeed&) = delete;
    OverlayFeed& operator=(const OverlayFeed&) = delete;

    // Starts the server on 127.0.0.1:port; a cover the engine takes for the page alone is written
    // in coverFolder. Empty text when it listens, else what to tell the user.
    std::string start(int port, const std::string& coverFolder);
    void stop();
    bool on() const { return m_server != nullptr; }

    // The engine's state, the track the fields show (null: none) and its SongName.json bytes.
    void update(playback::PlayState state, const playback::Track* shown, std::string json);
    void seeked(double position);

private:
    void takeCover(const playback::Track& track);
    void publish();

    Engine& m_engine;
    announce::StartCover& m_cover;
    std::unique_ptr<announce::OverlayServer> m_server;
    std::string m_coverFile;
    announce::OverlayState m_state;
    std::string m_coverOf; // the file whose cover m_state holds
    // Counts each track: a cover that comes after the next one is dropped.
    std::shared_ptr<uint64_t> m_turn = std::make_shared<uint64_t>(0);
};

} // namespace player
