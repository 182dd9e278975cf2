#include "playback/play_state.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace playback;

namespace {

// One engine event, as the wrapper feeds it in.
enum class Ev {
    Start,
    Loaded,
    LoadedPaused,
    Restart,
    RestartPaused,
    Pause,
    Resume,
    Eof,
    Stopped,
    Redirect,
    Idle,
    Shutdown
};

std::vector<int> replay(const std::vector<Ev>& events) {
    PlayStateMachine m;
    std::vector<int> codes;
    for (Ev e : events) {
        std::optional<int> c;
        switch (e) {
        case Ev::Start:
            c = m.startFile();
            break;
        case Ev::Loaded:
            c = m.fileLoaded(false);
            break;
        case Ev::LoadedPaused:
            c = m.fileLoaded(true);
            break;
        case Ev::Restart:
            c = m.playbackRestart(false);
            break;
        case Ev::RestartPaused:
            c = m.playbackRestart(true);
            break;
        case Ev::Pause:
            c = m.pauseChanged(true);
            break;
        case Ev::Resume:
            c = m.pauseChanged(false);
            break;
        case Ev::Eof:
            c = m.endFile(EndReason::Eof);
            break;
        case Ev::Stopped:
            c = m.endFile(EndReason::Stop);
            break;
        case Ev::Redirect:
            c = m.endFile(EndReason::Redirect);
            break;
        case Ev::Idle:
            c = m.idle();
            break;
        case Ev::Shutdown:
            c = m.shutdown();
            break;
        }
        if (c)
            codes.push_back(*c);
    }
    return codes;
}

struct Case {
    std::string name;
    std::vector<Ev> events;
    std::vector<int> codes;
};

} // namespace

TEST(PlayStateMachine, ReportsPlayingOncePerStartAndResume) {
    using enum Ev;
    const std::vector<Case> cases = {
        {"normal start", {Idle, Start, Loaded, Restart}, {1, 9, 3}},
        {"seeks after the start", {Start, Loaded, Restart, Restart, Restart}, {9, 3}},
        {"pause then resume", {Start, Loaded, Restart, Pause, Resume}, {9, 3, 2, 3}},
        {"load while paused waits for resume",
         {Start, LoadedPaused, RestartPaused, Resume, Restart},
         {9, 10, 3}},
        {"resume before the first restart",
         {Start, LoadedPaused, Resume, RestartPaused, Restart},
         {9, 10, 3}},
        {"playlist file redirect", {Start, Redirect, Start, Loaded, Restart}, {9, 3}},
        {"next track after end",
         {Start, Loaded, Restart, Eof, Start, Loaded, Restart},
         {9, 3, 8, 9, 3}},
        {"stop, then play again",
         {Start, Loaded, Restart, Stopped, Idle, Start, Loaded, Restart},
         {9, 3, 1, 9, 3}},
        {"pause change with nothing loaded", {Idle, Pause, Resume}, {1}},
        {"repeated pause reports are one change",
         {Start, Loaded, Restart, Pause, Pause, Resume, Resume},
         {9, 3, 2, 3}},
        {"nothing after shutdown",
         {Start, Loaded, Restart, Shutdown, Start, Loaded, Restart},
         {9, 3, 1}},
        {"a failed load never plays", {Start, Stopped, Idle}, {9, 1}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(replay(c.events), c.codes) << c.name;
}
