// The program's behaviour through its two interfaces: an engine and a window that record what
// they are asked and report what the test says, and a real settings file and song file.
#include "player/player.h"

#include "playback/play_state.h"
#include "settings/code_page.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

using namespace playback;
using player::Entry;
using settings::Flag;
using testsupport::bytesOf;

namespace {

struct FakeEngine final : player::Engine {
    std::vector<std::string> calls;
    std::vector<Entry> list;
    std::map<std::string, std::vector<Entry>> files; // what setURL loads
    int current = -1;
    int vol = 50;
    player::EngineListener* listener = nullptr;

    void setListener(player::EngineListener* l) override { listener = l; }
    void setURL(const std::string& url) override {
        calls.push_back("setURL " + url);
        list = files[url];
    }
    void clear() override {
        calls.push_back("clear");
        list.clear();
    }
    const std::vector<Entry>& entries() const override { return list; }
    int currentIndex() const override { return current; }
    void playItem(const Entry& e) override { calls.push_back("playItem " + e.name); }
    void play() override { calls.push_back("play"); }
    void pause() override { calls.push_back("pause"); }
    void stop() override { calls.push_back("stop"); }
    void next() override { calls.push_back("next"); }
    void previous() override { calls.push_back("previous"); }
    int volume() const override { return vol; }
    void setVolume(int v) override { vol = std::clamp(v, 0, 100); }
    double position() const override { return 0; }
    void setPosition(double) override {}
    void setAutoStart(bool on) override { calls.push_back("autoStart " + std::to_string(on)); }
    void setLoop(bool on) override { calls.push_back("loop " + std::to_string(on)); }
    void setShuffle(bool on) override { calls.push_back("shuffle " + std::to_string(on)); }
    void close() override {}
};

struct FakeView final : player::View {
    player::NowPlaying now;
    std::vector<std::string> list;
    int listIndex = -1;
    std::map<Flag, bool> checks;
    std::vector<std::string> asked; // dialogs and boxes, as "title|text"
    std::string chosenFile;
    std::optional<std::string> answer;
    std::function<void()> whileBoxIsUp; // what happens in the box's own event loop
    std::optional<int64_t> timer;

    void setNowPlaying(const player::NowPlaying& n) override { now = n; }
    void listReplaced(const player::ListRows& rows) override {
        list.clear();
        listAdded(rows, 0);
        listIndex = rows.highlight();
    }
    void listAdded(const player::ListRows& rows, int first) override {
        EXPECT_EQ(first, int(list.size()));
        for (int row = first; row < rows.size(); ++row)
            list.push_back(rows.name(row));
    }
    void setListIndex(int row) override { listIndex = row; }
    void setChecked(Flag f, bool on) override { checks[f] = on; }
    std::string showOpen(const std::string& filter, const std::string& title,
                         const std::string& folder) override {
        asked.push_back(title + "|" + filter + "|" + folder);
        return chosenFile;
    }
    std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                        const std::string& preset) override {
        asked.push_back(title + "|" + prompt + "|" + preset);
        return answer;
    }
    void messageBox(const std::string& text) override {
        asked.push_back("Tunelark|" + text);
        if (auto up = std::exchange(whileBoxIsUp, nullptr))
            up();
    }
    void setTimer(std::optional<int64_t> ms) override { timer = ms; }
};

struct FakeLink final : announce::IrcLink {
    std::vector<std::string> lines;
    bool accept = true;
    bool send(const std::string& line) override {
        lines.push_back(line);
        return accept;
    }
    std::string missingText() const override { return "Клиент не найден!"; }
};

struct FakeClock final : player::Clock {
    int64_t ms = 0;
    announce::Moment now() const override { return {ms, {ms, 0}}; }
};

struct Listener final : player::PlayerListener {
    int changes = 0;
    void changed() override { ++changes; }
    void seeked(double) override {}
};

Track track(const std::string& name) {
    return {.entryId = 1,
            .sourceURL = "/m/" + name + ".mp3",
            .name = name,
            .author = "Ария",
            .durationString = "00:05",
            .bitrate = "128000",
            .fileType = "mp3"};
}

class Player : public testing::Test {
protected:
    void load(const std::string& ini = {}) {
        if (!ini.empty())
            testsupport::put(dir.path() / "mirc.ini", ini);
        const std::string folder = text::utf8Of(dir.path()) + "/";
        player.Form_Load({"/program/", folder});
    }
    void start(const Track& t, PlayState before = PlayState::Transitioning) {
        engine.listener->playStateChanged(before, {});
        engine.listener->playStateChanged(PlayState::Playing, t);
    }
    std::string ini() { return bytesOf(dir.path() / "mirc.ini"); }

    testsupport::TempDir dir;
    FakeEngine engine;
    FakeView view;
    FakeLink link;
    FakeClock clock;
    player::Player player{engine, view, link, clock};
};

TEST_F(Player, StartsFromTheStoredOptionsAndLeavesStoringTheFlags) {
    load(text::toAnsi(
        "[Tunelark]\r\nRepeat=True\r\nRandom=yes\r\nAutoPrint=1\r\nFormat=np: !название\r\n"));
    EXPECT_EQ(view.checks, (std::map<Flag, bool>{{Flag::Repeat, true},
                                                 {Flag::AutoStart, false},
                                                 {Flag::Random, false},
                                                 {Flag::AutoPrint, true}}));
    EXPECT_EQ(engine.calls, (std::vector<std::string>{"loop 1", "autoStart 0", "shuffle 0"}));
    EXPECT_EQ(player.options().format, "np: !название");
    EXPECT_EQ(player.songFile(), text::utf8Of(dir.path()) + "/SongName.txt");

    player.mnRandom_Click();
    player.mnRepeat_Click();
    EXPECT_TRUE(view.checks[Flag::Random]);
    EXPECT_FALSE(view.checks[Flag::Repeat]);
    EXPECT_EQ(engine.calls.back(), "loop 0");
    player.Form_Unload();
    player.Form_Unload(); // once only
    EXPECT_EQ(ini(), text::toAnsi("[Tunelark]\r\nRepeat=False\r\nRandom=True\r\nAutoPrint=True\r\n"
                                  "Format=np: !название\r\nAutoStart=False\r\n"));
}

// The program's folder cannot be written: its mirc.ini is read, carried over to where changes go,
// and the user is told so, once.
TEST_F(Player, OptionsThatCannotBeWrittenWhereTheyAreAreCarriedOverOnce) {
    testsupport::TempDir beside;
    const std::string theirs = text::toAnsi("[mIRC]\r\nnick=Ёжик\r\n[Tunelark]\r\nRandom=True\r\n"
                                            "AutoPrint=True\r\nFormat=np: !название\r\n"
                                            "AnnounceDelay=2\r\n");
    testsupport::put(beside.path() / "mirc.ini", theirs);
    const std::string program = text::utf8Of(beside.path()) + "/";
    const std::string files = text::utf8Of(dir.path()) + "/";
    player.Form_Load({program, files, "папку нельзя изменить", program});
    EXPECT_TRUE(player.options().random && player.options().autoPrint);
    EXPECT_EQ(player.options().format, "np: !название");
    EXPECT_EQ(player.options().announceDelayMs, 2000);
    EXPECT_EQ(view.asked, std::vector<std::string>{
                              "Tunelark|Настройки нельзя сохранять в " + program +
                              "mirc.ini: папку нельзя изменить. Они прочитаны оттуда, а изменения "
                              "теперь сохраняются в " +
                              files + "mirc.ini."});
    EXPECT_EQ(ini(), text::toAnsi("[Tunelark]\r\nRepeat=False\r\nAutoStart=False\r\n"
                                  "Random=True\r\nAutoPrint=True\r\nFormat=np: !название\r\n"));

    player.mnRepeat_Click();
    player.Form_Unload();
    EXPECT_EQ(bytesOf(beside.path() / "mirc.ini"), theirs);
    FakeView later;
    player::Player again{engine, later, link, clock};
    again.Form_Load({program, files, "папку нельзя изменить", program});
    EXPECT_TRUE(later.asked.empty());
    EXPECT_TRUE(again.options().repeat && again.options().random);
    EXPECT_EQ(again.options().announceDelayMs, 2000);
}

TEST_F(Player, AnOptionSetFromOutsideMovesTheMarkTheEngineAndTheListener) {
    load();
    Listener listener;
    player.setListener(&listener);
    player.setFlag(Flag::Random, true);
    EXPECT_TRUE(view.checks[Flag::Random]);
    EXPECT_EQ(engine.calls.back(), "shuffle 1");
    EXPECT_TRUE(player.options().random);
    EXPECT_EQ(listener.changes, 1);
}

TEST_F(Player, OpeningDroppingAndDoubleClickingReachTheEngineAndTheList) {
    load();
    engine.files["/m/list.m3u"] = {{1, "/m/a.mp3", "a"}, {2, "/m/b.mp3", "b"}};
    engine.files["/m/c.mp3"] = {{3, "/m/c.mp3", "c"}};
    player.fOpenFile("/m/list.m3u");
    EXPECT_EQ(view.list, (std::vector<std::string>{"a", "b"}));
    player.List1_DblClick(1);
    player.List1_DblClick(-1); // nothing selected
    player.List1_DblClick(2);  // gone
    EXPECT_EQ(engine.calls.back(), "playItem b");

    view.chosenFile = ""; // cancelled: what is loaded stays
    player.mnOpen_Click();
    EXPECT_EQ(view.list.size(), 2u);
    view.chosenFile = "/m/c.mp3";
    player.mnOpen_Click();
    EXPECT_EQ(view.asked, (std::vector<std::string>(2, "Открыть|Все файлы|*.*|/program/")));
    EXPECT_EQ(view.list, std::vector<std::string>{"c"});
    player.Form_OLEDragDrop("/m/list.m3u");
    EXPECT_EQ(view.list, (std::vector<std::string>{"a", "b"}));

    // The engine expanded a list it reached: the view follows, with the entry playing lit.
    engine.list.push_back({4, "/m/d.mp3", "d"});
    engine.current = 2;
    engine.listener->playlistChanged();
    EXPECT_EQ(view.list, (std::vector<std::string>{"a", "b", "d"}));
    EXPECT_EQ(view.listIndex, 2);
    player.mnClearList_Click();
    EXPECT_TRUE(view.list.empty());
    EXPECT_EQ(engine.calls.back(), "clear");
}

TEST_F(Player, HotkeysMoveThroughTheListAndEveryPressCountsOnTheVolume) {
    load();
    const auto press = [&](player::Key key) {
        for (const player::Hotkey& hotkey : player::hotkeys())
            if (hotkey.key == key)
                player.run(hotkey.command);
    };
    press(player::Key::F8);
    press(player::Key::F7);
    EXPECT_EQ(engine.calls.back(), "previous");
    EXPECT_EQ(engine.calls[engine.calls.size() - 2], "next");
    press(player::Key::F12);
    EXPECT_EQ(engine.vol, 54);
    for (int i = 0; i < 20; ++i)
        press(player::Key::F11);
    EXPECT_EQ(engine.vol, 0);
}

// Each option's menu item turns its own option over, and no other.
TEST_F(Player, EachMarkedMenuItemTurnsItsOwnOptionOver) {
    load();
    for (const Flag flag : {Flag::Repeat, Flag::AutoStart, Flag::Random, Flag::AutoPrint}) {
        const player::MenuItem& item = player::markedItem(flag);
        SCOPED_TRACE(item.name);
        ASSERT_TRUE(item.command);
        settings::PlayOptions expected = player.options();
        expected[flag] = !expected[flag];
        player.run(*item.command);
        for (const Flag each : {Flag::Repeat, Flag::AutoStart, Flag::Random, Flag::AutoPrint})
            EXPECT_EQ(player.options()[each], expected[each]);
        EXPECT_EQ(view.checks[flag], expected[flag]);
    }
}

// The desktop's Next at the last entry stops, unless the list goes on: it repeats, or the
// engine's random pass decides.
TEST_F(Player, TheDesktopsNextStopsAtTheEndOfTheList) {
    load();
    engine.list = {{1, "/m/a.mp3", "a"}, {2, "/m/b.mp3", "b"}};
    struct Case {
        int current;
        bool repeat, random;
        const char* call;
    };
    const Case cases[] = {
        {0, false, false, "next"},
        {1, false, false, "stop"},
        {1, true, false, "next"},
        {1, false, true, "next"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.current * 4 + c.repeat * 2 + c.random);
        player.setFlag(Flag::Repeat, c.repeat);
        player.setFlag(Flag::Random, c.random);
        engine.current = c.current;
        player.nextOrStop();
        EXPECT_EQ(engine.calls.back(), c.call);
    }
}

TEST_F(Player, AStartIsToldShownAndWrittenAndItsEntryLit) {
    load("[Tunelark]\r\nAutoPrint=True\r\n");
    engine.list = {{1, "/m/a.mp3", "a"}, {2, "/m/b.mp3", "b"}, {3, "/m/c.mp3", "c"}, {4, "", "d"}};
    engine.listener->playlistChanged();
    engine.current = 3;
    start(track("Беспечный ангел"));
    EXPECT_EQ(link.lines, std::vector<std::string>{"/me слушает Ария - Беспечный ангел [00:05]"});
    EXPECT_EQ(player.lastLine(), link.lines.back());
    EXPECT_EQ(view.now, (player::NowPlaying{"/m/Беспечный ангел.mp3", "Ария", "Беспечный ангел",
                                            "00:05", "128000"}));
    EXPECT_EQ(bytesOf(text::pathOf(player.songFile())),
              text::toAnsi("Ария\r\nБеспечный ангел\r\n00:05\r\n128000\r\n"));
    EXPECT_EQ(view.listIndex, 3);

    // A resume is told again, and leaves the user's own choice in the list alone.
    engine.listener->playStateChanged(PlayState::Paused, {});
    view.listIndex = 0;
    start(track("Беспечный ангел"), PlayState::Paused);
    EXPECT_EQ(link.lines.size(), 2u);
    EXPECT_EQ(view.listIndex, 0);
}

TEST_F(Player, TheDesktopSeesTheTrackTheEngineLastStartedOrLoaded) {
    load();
    Listener listener;
    player.setListener(&listener);
    engine.listener->playStateChanged(PlayState::Ready, track("a"));
    EXPECT_EQ(player.currentTrack().name, "a");
    engine.listener->titleChanged(track("b"));
    EXPECT_EQ(player.currentTrack().name, "b");
    EXPECT_EQ(view.now.title, "b");
    engine.listener->playStateChanged(PlayState::Playing, {}); // over before it was looked at
    EXPECT_EQ(player.currentTrack().name, "b");
    engine.listener->playStateChanged(PlayState::Stopped, {});
    EXPECT_TRUE(player.currentTrack().empty());
    EXPECT_EQ(player.playState(), PlayState::Stopped);
    EXPECT_EQ(listener.changes, 4);
}

// The box's own event loop brings more starts: each is shown and written at once, and once the
// box is closed only the latest is told.
TEST_F(Player, AMissingClientIsToldOnceAndOnlyTheLinesUnderItsBoxWait) {
    load("[Tunelark]\r\nAutoPrint=True\r\n");
    Listener listener;
    player.setListener(&listener);
    link.accept = false;
    view.whileBoxIsUp = [&] {
        EXPECT_EQ(listener.changes, 2) << "the desktop hears of the start before the box";
        EXPECT_EQ(player.playState(), PlayState::Playing) << "the box does not stop the track";
        start(track("second"));
        start(track("third"));
        EXPECT_EQ(view.now.title, "third") << "the fields follow every start";
        EXPECT_NE(bytesOf(text::pathOf(player.songFile())).find("third"), std::string::npos);
        EXPECT_EQ(link.lines.size(), 1u) << "the lines wait";
        link.accept = true;
    };
    start(track("first"));
    EXPECT_EQ(view.asked, std::vector<std::string>{"Tunelark|Клиент не найден!"});
    EXPECT_EQ(link.lines, (std::vector<std::string>{"/me слушает Ария - first [00:05]",
                                                    "/me слушает Ария - third [00:05]"}));
    EXPECT_EQ(view.now.title, "third");
}

// The program is told to end while the box is up: the line held under it is dropped.
TEST_F(Player, AnEndUnderTheBoxDropsTheLineHeldThere) {
    load("[Tunelark]\r\nAutoPrint=True\r\n");
    link.accept = false;
    view.whileBoxIsUp = [&] {
        start(track("second"));
        player.Form_Unload();
    };
    start(track("first"));
    EXPECT_EQ(link.lines, std::vector<std::string>{"/me слушает Ария - first [00:05]"});
}

TEST_F(Player, TheDelaysTimerBringsTheLineAndWritingByHandGoesAtOnce) {
    load("[Tunelark]\r\nAutoPrint=True\r\nAnnounceDelay=2\r\n");
    player.mnPrintSongName_Click(); // nothing loaded: nothing told
    start(track("a"));
    EXPECT_EQ(view.timer, 2000);
    EXPECT_TRUE(link.lines.empty());
    clock.ms = 2000;
    player.tmAnnounce_Timer();
    EXPECT_EQ(link.lines.size(), 1u);
    EXPECT_EQ(view.timer, std::nullopt);

    start(track("b"));
    player.mnPrintSongName_Click();
    EXPECT_EQ(link.lines.back(), "/me слушает Ария - b [00:05]");
    EXPECT_EQ(view.timer, std::nullopt) << "told by hand: the delay's line would say it again";
}

TEST_F(Player, TheFormatEditorKeepsOrStoresTheAnswerOnOneLine) {
    load();
    const std::string preset = player.options().format;
    for (const std::optional<std::string>& cancel : {std::optional<std::string>(), {""}}) {
        view.answer = cancel;
        player.mnFormat_Click();
    }
    EXPECT_EQ(player.options().format, preset);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "mirc.ini"));
    EXPECT_EQ(view.asked[0], "Tunelark - Запрос|Введите новый формат:|" + preset);

    view.answer = "!артист !- !название\r\n(!тип)";
    player.mnFormat_Click();
    EXPECT_EQ(player.options().format, "!артист !- !название  (!тип)");
    EXPECT_EQ(ini(), "[Tunelark]\r\nFormat=" + text::toAnsi(player.options().format) + "\r\n");
    start(track("b"));
    player.mnPrintSongName_Click();
    EXPECT_EQ(link.lines, std::vector<std::string>{"Ария - b  (mp3)"});

    // What the file would give back cut is refused whole, with the old one kept.
    const std::string kept = player.options().format;
    const auto letters = [](int n) {
        std::string text(200, 'x');
        while (n-- > 0)
            text += "ж";
        return text;
    };
    view.answer = letters(55);
    player.mnFormat_Click();
    EXPECT_EQ(player.options().format, kept);
    EXPECT_EQ(view.asked.back(),
              "Tunelark|Формат длиннее 254 знаков не сохранится. Оставлен прежний формат.");
    view.answer = letters(54);
    player.mnFormat_Click();
    EXPECT_EQ(player.options().format, *view.answer);
}

// A program killed, or logged out of, never reaches its close.
TEST_F(Player, AChangedOptionIsWrittenAtOnce) {
    load("[Tunelark]\r\nRandom=False\r\n");
    player.mnRandom_Click();
    EXPECT_NE(ini().find("Random=True\r\n"), std::string::npos) << ini();
}

// Anyone may tag a file: the desktop and the song files get the text the line would.
TEST_F(Player, TagsReachEveryReaderWithoutControlCharacters) {
    load("[Tunelark]\r\nJsonFile=True\r\n");
    Track hostile = track("a\x1b[2Jb");
    hostile.author = "x\x01y\x03";
    start(hostile);
    EXPECT_EQ(player.currentTrack().name, "a [2Jb");
    EXPECT_EQ(player.currentTrack().author, "x y ");
    const std::string json = bytesOf(dir.path() / "SongName.json");
    EXPECT_NE(json.find("a [2Jb"), std::string::npos) << json;
    EXPECT_EQ(json.find("\\u001b"), std::string::npos) << json;
}

// Nothing plays once stopped, at the end of the list and at the end: the field files say so.
TEST_F(Player, TheFieldFilesEmptyWhenNothingPlaysAnyMore) {
    load("[Tunelark]\r\nFieldFiles=True\r\nClearOnStop=True\r\n");
    const auto title = [this] { return bytesOf(dir.path() / "NowPlaying" / "title.txt"); };
    for (const PlayState then :
         {PlayState::Paused, PlayState::MediaEnded, PlayState::Transitioning, PlayState::Stopped}) {
        start(track("a"));
        engine.listener->playStateChanged(then, {});
        EXPECT_EQ(title(), then == PlayState::Stopped ? "" : "a");
    }
    start(track("b"));
    player.Form_Unload();
    EXPECT_EQ(title(), "");
}

} // namespace
