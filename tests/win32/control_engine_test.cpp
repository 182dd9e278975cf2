// The media-player control as an Engine, against a stand-in for the control that raises its
// events inside the calls that cause them, the way the system's control does, and that lacks
// what a control may lack (its own list, playItem, tags).
#include "win32/control_engine.h"

#include "support/temp_dir.h"
#include "win32/fake_control.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

namespace {

using testsupport::FakeControl;

void put(const testsupport::TempDir& dir, const char* name, const std::string& bytes) {
    testsupport::put(text::pathOf(dir.file(name)), bytes);
}

std::string shortName(playback::PlayState state) {
    switch (state) {
    case playback::PlayState::Undefined:
        return "undef";
    case playback::PlayState::Stopped:
        return "stop";
    case playback::PlayState::Paused:
        return "pause";
    case playback::PlayState::Playing:
        return "play";
    case playback::PlayState::MediaEnded:
        return "end";
    case playback::PlayState::Transitioning:
        return "trans";
    case playback::PlayState::Ready:
        return "ready";
    case playback::PlayState::Other:
        break;
    }
    return "other";
}

// What the player hears: each play state, and the track's title with a start.
struct Heard final : player::EngineListener {
    std::vector<std::string> states;
    playback::Track last;
    void playStateChanged(playback::PlayState state, const playback::Track& track) override {
        states.push_back(state == playback::PlayState::Playing ? "play:" + track.name
                                                               : shortName(state));
        if (state == playback::PlayState::Playing)
            last = track;
    }
    void titleChanged(const playback::Track& track) override {
        states.push_back("title:" + track.name);
    }
    void playlistChanged() override {}
    void volumeChanged(int) override {}
    void seeked(double) override {}
};

struct Case {
    const char* name;
    bool keepsList;
    bool loop;
    // Steps: "open" the list of a b c, "end" of the media (ended, transitioning, stopped), "fail"
    // (every opening from then on fails), "drain", "next", "prev", "pick <n>" (a double-click),
    // "long" (open a list of 12,000: a b c over and over), "read" (until the reader has told of
    // its first entry and of all), "fill" (drain until the list grows no more), "clear".
    const char* steps;
    const char* heard;  // the states the player heard, in order
    const char* called; // the control's calls, after the list was opened
    std::size_t listed = 3;
};

const Case kCases[] = {
    {"EventsWaitUntilTheCallHasReturned", false, false, "open", "", "url a play"},
    {"WineDoublePlayingIsOneStart", false, false, "open drain",
     "trans undef trans ready trans play:a", "url a play"},
    {"EachEndOpensTheNextEntryItself", false, false, "open drain end drain end drain end drain",
     "trans undef trans ready trans play:a end trans trans ready trans play:b end trans trans "
     "ready trans play:c end trans stop",
     "url a play url b play url c play"},
    {"RepeatGoesBackToTheTop", false, true, "open drain pick 2 drain end drain",
     "trans undef trans ready trans play:a trans ready trans play:c end trans trans ready trans "
     "play:a",
     "url a play url c play url a play"},
    {"AFailedEntryIsSkippedAndNotToldToPlay", false, false,
     "open drain pick 1 drain fail next drain",
     "trans undef trans ready trans play:a trans ready trans play:b trans undef stop",
     "url a play url b play url c"},
    {"AListOfFailuresIsGoneThroughOnce", false, true, "open drain fail next drain",
     "trans undef trans ready trans play:a trans undef trans undef trans undef stop",
     "url a play url b url c url a"},
    {"StepsByHandFromTheLastWithoutRepeatStayPut", false, false, "open drain pick 2 drain next",
     "trans undef trans ready trans play:a trans ready trans play:c", "url a play url c play"},
    {"PreviousFromTheFirstWithRepeatIsTheLast", false, true, "open drain prev drain",
     "trans undef trans ready trans play:a trans ready trans play:c", "url a play url c play"},
    // The end of a, still queued when the user goes on: b plays, and c is not skipped to.
    {"AnEndQueuedBeforeTheUsersNextIsOfTheOldMedia", false, false, "open drain end next drain",
     "trans undef trans ready trans play:a end trans stop trans ready trans play:b",
     "url a play url b play"},
    {"TheControlsOwnListIsUsedWhenItKeepsOne", true, false, "open drain pick 2 drain",
     "trans undef trans play:a trans play:c", "play item 2"},
    {"ALongListIsReadAsideAndSteppedHere", true, false, "long read drain next drain fill",
     "trans undef trans ready trans play:a trans ready trans play:b", "url a play url b play",
     12000},
    {"ClearingDropsTheRestOfALongList", false, false, "long read drain clear fill",
     "trans undef trans ready trans play:a trans undef", "url a play", 0},
};

class ControlEngineRules : public testing::TestWithParam<Case> {};

TEST_P(ControlEngineRules, FollowTheControl) {
    const Case& c = GetParam();
    testsupport::TempDir dir;
    for (const char* name : {"a.wav", "b.wav", "c.wav"})
        put(dir, name, "RIFF");
    put(dir, "list.m3u", "a.wav\nb.wav\nc.wav\n");
    std::string longList;
    for (int i = 0; i < 4000; ++i)
        longList += "a.wav\nb.wav\nc.wav\n";
    put(dir, "long.m3u", longList);

    FakeControl control;
    control.keepsList = c.keepsList;
    // The reader's calls, from its own thread (the first entry, then all); the events' own wakes
    // come from this one.
    std::mutex lock;
    std::condition_variable woke;
    int read = 0;
    const auto self = std::this_thread::get_id();
    win32::ControlEngine engine(control, [&] {
        if (std::this_thread::get_id() == self)
            return;
        const std::lock_guard hold(lock);
        ++read;
        woke.notify_all();
    });
    control.engine = &engine;
    Heard heard;
    engine.setListener(&heard);
    engine.setAutoStart(true);
    engine.setLoop(c.loop);

    std::istringstream steps(c.steps);
    for (std::string step; steps >> step;) {
        if (step == "open") {
            engine.setURL(dir.file("list.m3u"));
            if (c.keepsList)
                control.play(); // the system's control starts its new list by itself
        } else if (step == "long") {
            engine.setURL(dir.file("long.m3u"));
        } else if (step == "read") {
            std::unique_lock hold(lock);
            ASSERT_TRUE(woke.wait_for(hold, std::chrono::seconds(10), [&] { return read == 2; }));
        } else if (step == "fill") {
            std::size_t was = 0;
            do {
                was = engine.entries().size();
                engine.drain();
            } while (engine.entries().size() != was);
        } else if (step == "clear") {
            engine.clear();
        } else if (step == "end") {
            control.raise({8, 9, 1});
        } else if (step == "fail") {
            control.failing = true;
        } else if (step == "drain") {
            engine.drain();
        } else if (step == "next") {
            engine.next();
        } else if (step == "prev") {
            engine.previous();
        } else if (step == "pick") {
            int index = 0;
            steps >> index;
            engine.playItem(engine.entries()[std::size_t(index)]);
        }
    }
    std::string heardText, calledText;
    for (const auto& state : heard.states)
        heardText += (heardText.empty() ? "" : " ") + state;
    for (const auto& call : control.calls)
        if (call != "url ") // the unload before each open
            calledText += (calledText.empty() ? "" : " ") + call.substr(0, call.find(".wav"));
    EXPECT_EQ(heardText, c.heard);
    EXPECT_EQ(calledText, c.called);
    EXPECT_EQ(engine.entries().size(), c.listed);
}

INSTANTIATE_TEST_SUITE_P(Table, ControlEngineRules, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// What the control leaves out of a track comes from elsewhere: a NULL tag is empty text, the
// length's text from the length, and the type and size from the file itself.
TEST(ControlEngineTrack, FillsWhatTheControlLeavesOut) {
    testsupport::TempDir dir;
    put(dir, "Песня.MP3", std::string(1234, 'x'));
    FakeControl control;
    win32::ControlEngine engine(control, {});
    control.engine = &engine;
    engine.setURL(dir.file("Песня.MP3"));

    playback::Track track = engine.currentTrack();
    EXPECT_EQ(track.name, "Песня");
    EXPECT_EQ(track.author, "");
    EXPECT_EQ(track.durationString, "00:02");
    EXPECT_EQ(track.fileType, "mp3");
    EXPECT_EQ(track.fileSize, "1234");

    control.info = {{"Author", "Кино"},
                    {"Bitrate", "128000"},
                    {"FileSize", "99"},
                    {"FileType", "WMA"},
                    {"WM/TrackNumber", "3/12"}};
    control.lengthText = "3:45";
    control.length = 0; // a station
    track = engine.currentTrack();
    EXPECT_EQ(track.author, "Кино");
    EXPECT_EQ(track.bitrate, "128000");
    EXPECT_EQ(track.fileSize, "99");
    EXPECT_EQ(track.fileType, "wma");
    EXPECT_EQ(track.trackNumber, "3");
    EXPECT_EQ(track.durationString, "3:45");
    EXPECT_FALSE(track.seconds);
}

TEST(ControlEngineTrack, AnUntaggedEntryTakesItsTitleFromTheList) {
    testsupport::TempDir dir;
    put(dir, "01.wav", "RIFF");
    put(dir, "list.pls", "[playlist]\nFile1=01.wav\nTitle1=Кино - Группа крови\n");
    FakeControl control;
    win32::ControlEngine engine(control, {});
    control.engine = &engine;
    engine.setAutoStart(true);
    engine.setURL(dir.file("list.pls"));
    EXPECT_EQ(engine.currentTrack().name, "Кино - Группа крови");
}

TEST(ControlEngineTrack, AListOnTheWebIsTheControlsToFetch) {
    FakeControl control;
    win32::ControlEngine engine(control, {});
    control.engine = &engine;
    engine.setURL("http://radio.example/listen.pls");
    EXPECT_EQ(control.url, "http://radio.example/listen.pls");
    EXPECT_EQ(engine.entries().size(), 1u);
}

// Once closed, with the control gone, nothing reaches it and nothing is heard.
TEST(ControlEngineTrack, ClosedEngineTouchesNothing) {
    FakeControl control;
    win32::ControlEngine engine(control, {});
    control.engine = &engine;
    Heard heard;
    engine.setListener(&heard);
    engine.setURL("x.wav");
    engine.close();
    control.calls.clear();
    engine.play();
    engine.next();
    engine.setURL("y.wav");
    engine.drain();
    EXPECT_TRUE(control.calls.empty());
    EXPECT_TRUE(heard.states.empty());
    EXPECT_TRUE(engine.currentTrack().empty());
}

} // namespace
