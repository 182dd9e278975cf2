#pragma once

// The system's media-player control, hosted in a child window of ours, as a MediaControl.

#include "win32/media_control.h"

#include <functional>
#include <memory>
#include <windows.h>

namespace win32 {

class WmpControl final : public MediaControl {
public:
    using Sink = std::function<void(ControlEvent)>;

    // The control in a new child window of parent, set up as the player starts it; none when
    // the system has no media-player control.
    static std::unique_ptr<WmpControl> create(HWND parent, int id, Sink sink);
    ~WmpControl() override;
    WmpControl(const WmpControl&) = delete;
    WmpControl& operator=(const WmpControl&) = delete;

    HWND window() const;

    bool setURL(const std::string& url) override;
    bool setPlaylist(const std::string& name, const std::vector<std::string>& urls) override;
    bool playItem(int index) override;
    std::optional<int> currentItemIndex() override;
    bool play() override;
    bool pause() override;
    bool stop() override;
    bool next() override;
    bool previous() override;
    std::optional<int> playState() override;
    std::string sourceURL() override;
    std::string name() override;
    std::optional<double> duration() override;
    std::string durationString() override;
    std::string itemInfo(const std::string& attribute) override;
    double position() override;
    void setPosition(double seconds) override;
    int volume() override;
    void setVolume(int volume) override;
    void setAutoStart(bool on) override;
    void setMode(const std::string& mode, bool on) override;

    struct Parts;

private:
    explicit WmpControl(std::unique_ptr<Parts> parts);
    std::unique_ptr<Parts> m_parts;
};

} // namespace win32
