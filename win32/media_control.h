#pragma once

// The little of the system's media-player control that the program uses, in the core's own
// terms. A call the control cannot make (not implemented, or failed) gives none or false, so the
// engine can go another way. The control object itself lives in wmp_control.cpp.

#include <optional>
#include <string>
#include <vector>

namespace win32 {

// What the control raised, in the order it raised it.
struct ControlEvent {
    enum Kind { PlayState, MediaChange } kind = PlayState;
    int state = 0; // for PlayState: the control's new play state
};

class MediaControl {
public:
    virtual ~MediaControl() = default;

    // The media to play: a file's path or an address; empty text unloads.
    virtual bool setURL(const std::string& url) = 0;
    // A playlist of the control's own, so its next and previous buttons go through it. False
    // when the control keeps no list of these.
    virtual bool setPlaylist(const std::string& name, const std::vector<std::string>& urls) = 0;
    virtual bool playItem(int index) = 0;
    // The entry of the control's own list that is current.
    virtual std::optional<int> currentItemIndex() = 0;

    virtual bool play() = 0;
    virtual bool pause() = 0;
    virtual bool stop() = 0;
    virtual bool next() = 0;
    virtual bool previous() = 0;
    virtual std::optional<int> playState() = 0;

    // The media now current.
    virtual std::string sourceURL() = 0;
    virtual std::string name() = 0;
    virtual std::optional<double> duration() = 0;
    virtual std::string durationString() = 0;
    virtual std::string itemInfo(const std::string& attribute) = 0; // empty for none

    virtual double position() = 0;
    virtual void setPosition(double seconds) = 0;
    virtual int volume() = 0;
    virtual void setVolume(int volume) = 0;
    virtual void setAutoStart(bool on) = 0;
    virtual void setMode(const std::string& mode, bool on) = 0;
};

} // namespace win32
