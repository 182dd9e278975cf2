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

std::vector<PlayState> replay(const std::vector<Ev>& events) {
    PlayStateMachine m;
    std::vector<PlayState> states;
    for (Ev e : events) {
        std::optional<PlayState> c;
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
            states.push_back(*c);
    }
    return states;
}

struct Case {
    std::string name;
    std::vector<Ev> events;
    std::vector<PlayState> states;
};

// The states as the cases write them.
constexpr PlayState Stop = PlayState::Stopped, Paused = PlayState::Paused,
                    Playing = PlayState::Playing, Ended = PlayState::MediaEnded,
                    Trans = PlayState::Transitioning, Ready = PlayState::Ready;

} // namespace

TEST(PlayStateMachine, ReportsPlayingOncePerStartAndResume) {
    using enum Ev;
    const std::vector<Case> cases = {
        {"normal start", {Idle, Start, Loaded, Restart}, {Stop, Trans, Playing}},
        {"seeks after the start", {Start, Loaded, Restart, Restart, Restart}, {Trans, Playing}},
        {"pause then resume",
         {Start, Loaded, Restart, Pause, Resume},
         {Trans, Playing, Paused, Playing}},
        {"load while paused waits for resume",
         {Start, LoadedPaused, RestartPaused, Resume, Restart},
         {Trans, Ready, Playing}},
        {"resume before the first restart",
         {Start, LoadedPaused, Resume, RestartPaused, Restart},
         {Trans, Ready, Playing}},
        {"playlist file redirect", {Start, Redirect, Start, Loaded, Restart}, {Trans, Playing}},
        {"next track after end",
         {Start, Loaded, Restart, Eof, Start, Loaded, Restart},
         {Trans, Playing, Ended, Trans, Playing}},
        {"stop, then play again",
         {Start, Loaded, Restart, Stopped, Idle, Start, Loaded, Restart},
         {Trans, Playing, Stop, Trans, Playing}},
        {"pause change with nothing loaded", {Idle, Pause, Resume}, {Stop}},
        {"repeated pause reports are one change",
         {Start, Loaded, Restart, Pause, Pause, Resume, Resume},
         {Trans, Playing, Paused, Playing}},
        {"nothing after shutdown",
         {Start, Loaded, Restart, Shutdown, Start, Loaded, Restart},
         {Trans, Playing, Stop}},
        {"a failed load never plays", {Start, Stopped, Idle}, {Trans, Stop}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(replay(c.events), c.states) << c.name;
}
