#pragma once

// The overlay page for stream software: a small read-only web server on 127.0.0.1 that shows the
// track playing. It runs on a thread of its own; the window only hands it each new state.
//   /          the page: artist, title, cover and progress, hidden while nothing plays
//   /now.json  SongName.json's fields, or {} while nothing plays
//   /cover     the cover's bytes, 404 when there is none
//   /events    Server-Sent Events: the state once at the start and again at each change

#include <memory>
#include <optional>
#include <string>

namespace announce {

struct OverlayState {
    enum class Play { Stopped, Playing, Paused };
    Play play = Play::Stopped;
    std::string artist = {};
    std::string title = {};
    std::optional<double> duration = {}; // seconds; none for a live stream
    double position = 0;                 // seconds, when this state was published
    std::string json = {};               // SongName.json's bytes; empty while nothing plays
    std::shared_ptr<const std::string> cover = {}; // the picture's bytes; null for none
    std::string coverType = {};                    // its Content-Type
};

// One event's data: the state as the page reads it, with the cover's number (0: none).
std::string overlayEventJson(const OverlayState& state, unsigned coverNumber);

class OverlayServer {
public:
    enum class Start { Listening, PortTaken, Failed };

    OverlayServer();
    ~OverlayServer(); // stops
    OverlayServer(const OverlayServer&) = delete;
    OverlayServer& operator=(const OverlayServer&) = delete;

    Start start(int port);
    // From any thread; never waits on a client.
    void publish(OverlayState state);
    // Closes every connection and joins the thread.
    void stop();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// The page's HTML, with its style and script inline.
extern const char* const kOverlayPage;

} // namespace announce
