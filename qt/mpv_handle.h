#pragma once

// A libmpv core, owned: created with the program's options, destroyed with its owner. Every call
// on a core that could not start, or has been destroyed, does nothing and reads as empty.

#include "player/engine.h"

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

struct mpv_handle;
struct mpv_event;

class MpvHandle {
public:
    // How the engine shows itself: into a native window, or headless (no wid).
    struct Options {
        std::optional<int64_t> wid;
        std::string vo; // empty: the engine's own choice
        std::string ao;
    };
    static constexpr int kStartVolume = 50;

    MpvHandle() = default;
    ~MpvHandle() { destroy(); }
    MpvHandle(const MpvHandle&) = delete;
    MpvHandle& operator=(const MpvHandle&) = delete;

    // Creates the core, not yet started: what it watches and waits on is asked for in between.
    bool create(const Options& options);
    // Starts it. wakeup runs on an engine thread whenever events wait. Destroyed if it fails.
    bool start(void (*wakeup)(void*), void* context);
    // Returns once the core and its video output have shut down.
    void destroy();
    explicit operator bool() const { return m_mpv != nullptr; }

    void observe(uint64_t id, const char* name, int format);
    void addHook(uint64_t id, const char* name);
    void continueHook(uint64_t hookId);
    // The next event waiting; none when there is none.
    const mpv_event* nextEvent();

    // Commands and reads may come from any thread while the core exists.
    bool command(std::initializer_list<const char*> args);
    // Appends url to the core's list: the id the core gave the new entry.
    std::optional<int64_t> append(const std::string& url);
    // Queued: its MPV_EVENT_COMMAND_REPLY carries reply.
    bool commandAsync(uint64_t reply, std::initializer_list<const char*> args);
    bool setProperty(const char* name, const std::string& value);
    // Without waiting for a core that may be busy.
    void setPropertyAsync(const char* name, const char* value);
    std::string stringProperty(const std::string& name) const;
    std::optional<int64_t> intProperty(const std::string& name) const;
    std::optional<double> doubleProperty(const char* name) const;
    bool flagProperty(const char* name) const;

    // A medium is loaded: the core is not idle.
    bool hasMedia() const;
    // The core's playlist, in its order; each name is the core's own title for the entry.
    std::vector<player::Entry> playlist() const;

private:
    mpv_handle* m_mpv = nullptr;
};

// The key of a field of the core's playlist entry at index.
std::string entryKey(int64_t index, const char* field);
