#pragma once

// What the program asks of a media engine, and what the engine tells it. The Linux program plays
// through libmpv, the Windows one through the system's media-player control; each adapter turns
// its engine into this.

#include "playback/play_state.h"
#include "playback/track.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace player {

// One entry of the engine's playlist. The id stays with the entry when others come or go.
struct Entry {
    int64_t id = -1;
    std::string sourceURL;
    std::string name;
};

// What the engine reports, on the program's one thread, after the engine's own call has
// returned. A handler may run the window's nested event loop (a message box): further reports
// then come from inside it, in order.
class EngineListener {
public:
    virtual ~EngineListener() = default;
    // A new play state. For Playing and Ready, item is the item as it was when the state came;
    // empty when the engine had already moved on.
    virtual void playStateChanged(playback::PlayState newState, const playback::Track& item) = 0;
    // A web radio's own title moved on while it plays: a new track.
    virtual void titleChanged(const playback::Track& item) = 0;
    // The engine changed its playlist by itself: it expanded a folder or a list it reached.
    virtual void playlistChanged() = 0;
    // The volume changed, by any hand: 0 to 100.
    virtual void volumeChanged(int volume) = 0;
    // A seek finished at this position, in seconds.
    virtual void seeked(double position) = 0;
};

// Every operation is safe when the engine could not start or has closed: reads then give empty
// values, and commands do nothing.
class Engine {
public:
    virtual ~Engine() = default;

    virtual void setListener(EngineListener* listener) = 0;

    // Loads a media file, a playlist file, a folder or an address as the playlist; play starts
    // when autoStart is on, with a random entry when shuffle is on. Empty text unloads.
    virtual void setURL(const std::string& url) = 0;
    // Stops and empties the playlist.
    virtual void clear() = 0;
    // The entries in the order of the list; shuffle changes the order of play, not this.
    virtual const std::vector<Entry>& entries() const = 0;
    // The entry playing, or about to; -1 for none.
    virtual int currentIndex() const = 0;
    virtual void playItem(const Entry& entry) = 0;

    virtual void play() = 0;
    virtual void pause() = 0;
    virtual void stop() = 0;
    virtual void next() = 0;
    virtual void previous() = 0;

    virtual int volume() const = 0;
    virtual void setVolume(int volume) = 0; // clamped to 0..100
    virtual double position() const = 0;    // seconds into the item; 0 for none
    virtual void setPosition(double seconds) = 0;

    virtual void setAutoStart(bool on) = 0;
    virtual void setLoop(bool on) = 0;    // the playlist again from the top
    virtual void setShuffle(bool on) = 0; // random order, every entry once per pass

    // Writes the picture embedded in the item playing to pngFile, as PNG, without waiting for it:
    // done(true) once it is there, done(false) when the item has none or the engine cannot take
    // it. done may run inside this call; after close() it never runs.
    virtual void saveCover(const std::string& /*pngFile*/, std::function<void(bool)> done) {
        done(false);
    }

    // Ends the engine; every operation is then as if it had never started.
    virtual void close() = 0;
};

} // namespace player
