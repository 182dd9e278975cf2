#pragma once

// A playlist file on disk, read and appended to the core by a thread of its own: a list of
// 100,000 entries, one command each, would hold the window for seconds. Its first entry plays as
// soon as the head of the file is read (one at random, once the whole is); the rest comes back in
// slices, in the order of the list, each entry with the id the core gave it.

#include "player/engine.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class MpvHandle;

class MpvFeed {
public:
    // Entries of the list, ids as the core gave them; each name is the list's own title.
    using Slice = std::vector<player::Entry>;

    // wake runs on the reading thread whenever a slice waits.
    MpvFeed(MpvHandle& mpv, std::function<void()> wake) : m_mpv(mpv), m_wake(std::move(wake)) {}
    ~MpvFeed();
    MpvFeed(const MpvFeed&) = delete;
    MpvFeed& operator=(const MpvFeed&) = delete;

    // Reads the list into the emptied core and starts its first entry, or one at random.
    void start(const std::string& file, bool shuffle);
    // Nothing more of the list reaches the core or take(); returns after at most one command.
    void stop();
    // Part of the list is still to come.
    bool reading() const;
    // Stop came before the first entry started: it is not started. Play undoes it, and starts
    // that entry when it is already in the core.
    void holdStart(bool hold);
    // The oldest slice waiting, and whether more wait behind it.
    std::optional<Slice> take(bool& more);

private:
    struct Shared {
        std::mutex mutex;
        bool stopped = false;
        bool done = false;
        bool startHeld = false;
        bool startPending = false; // an entry is in the core, not started, as held
        std::deque<Slice> slices;
    };
    class Feeding;
    struct Reader {
        std::shared_ptr<Shared> shared;
        std::thread thread;
    };
    static void read(const std::shared_ptr<Shared>& shared, MpvHandle& mpv,
                     const std::function<void()>& wake, const std::string& file, bool shuffle);

    MpvHandle& m_mpv;
    std::function<void()> m_wake;
    Reader m_reader;
    // Stopped while still reading the file: they touch nothing else, and are joined later.
    std::vector<Reader> m_stopped;
};
