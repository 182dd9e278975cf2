#pragma once

// A stand-in for the system's media-player control that raises its events inside the calls that
// cause them, the way the real one does, and lacks what a control may lack (its own list,
// playItem, tags). It reports to the engine it is given.

#include "text/text.h"
#include "win32/control_engine.h"

#include <map>
#include <utility>

namespace testsupport {

struct FakeControl final : win32::MediaControl {
    using ControlEvent = win32::ControlEvent;
    win32::ControlEngine* engine = nullptr;
    bool keepsList = false; // Wine's control: no list of its own, and no playItem
    std::map<std::string, std::string> info;
    std::optional<double> length = 2.0;
    std::string lengthText;
    std::vector<std::string> urls; // its own list
    std::string url;
    int item = -1;
    bool failing = false; // every opening from now on fails
    std::vector<std::string> calls;

    void raise(std::initializer_list<int> states) {
        for (int state : states)
            engine->queue({ControlEvent::PlayState, state});
    }
    bool setURL(const std::string& to) override {
        url = to;
        calls.push_back("url " + text::utf8Of(text::pathOf(to).filename()));
        // An address it cannot open fails inside the call, as the system's control does.
        if (to.empty() || failing)
            raise({9, 0});
        else
            raise({9, 10});
        return true;
    }
    bool setPlaylist(const std::string&, const std::vector<std::string>& list) override {
        if (!keepsList)
            return false;
        urls = list;
        item = 0;
        url = urls[0];
        return true;
    }
    bool playItem(int index) override {
        if (!keepsList)
            return false;
        calls.push_back("item " + std::to_string(index));
        item = index;
        url = urls[std::size_t(index)];
        raise({9, 3});
        return true;
    }
    std::optional<int> currentItemIndex() override {
        return keepsList ? std::optional<int>(item) : std::nullopt;
    }
    bool play() override {
        calls.push_back("play");
        raise({9, 3, 9, 3}); // Wine's control passes through Playing twice
        return true;
    }
    bool pause() override { return false; }
    bool stop() override { return true; }
    bool next() override { return false; }
    bool previous() override { return false; }
    std::optional<int> playState() override { return std::nullopt; }
    std::string sourceURL() override { return url; }
    std::string name() override { return {}; }
    std::optional<double> duration() override { return length; }
    std::string durationString() override { return lengthText; }
    std::string itemInfo(const std::string& attribute) override {
        const auto it = info.find(attribute);
        return it == info.end() ? std::string() : it->second;
    }
    double position() override { return 0; }
    void setPosition(double) override {}
    int level = 50;
    int volume() override { return level; }
    void setVolume(int to) override { level = to; }
    void setAutoStart(bool) override {}
    void setMode(const std::string&, bool) override {}
};

} // namespace testsupport
