// Drives the Windows program from outside on the stand-in media-player control, the way a user
// spends an evening with it: the control's own buttons, the list, tags, a station, and what mIRC
// (dde_test_server, in the current folder) gets.
// Usage: stand_in_test_driver.exe <tunelark.exe> <case>. The exit code is the result; a failure
// prints what was expected and what was seen.
#include "win32/program_driver.h"

#include <cstdlib>
#include <set>

namespace {

using namespace driver;

// The control's own window, its buttons and its status line, as the stand-in draws them.
enum StandIn { kPrevious = 1, kPlayPause, kStop, kNext, kBar, kStatus };

struct Evening : Player {
    HWND control = nullptr;

    bool begin(const std::wstring& exe, const std::string& options, const std::wstring& file) {
        // What the control was asked, for the checks that need it.
        wchar_t log[MAX_PATH];
        GetFullPathNameW(L"stand-in.log", MAX_PATH, log, nullptr);
        SetEnvironmentVariableW(L"TUNELARK_STAND_IN_LOG", log);
        wchar_t full[MAX_PATH];
        GetFullPathNameW(file.c_str(), MAX_PATH, full, nullptr);
        const std::string ini = text::toAnsi("[mIRC]\r\nnick=Ёжик\r\n[Tunelark]\r\n" + options +
                                             "[other]\r\nkey=значение\r\n");
        if (!start(exe, L"prog", ini, full))
            return false;
        waitFor(
            [&] {
                return (control = FindWindowExW(findHost(), nullptr, L"TunelarkStandIn",
                                                nullptr)) != nullptr;
            },
            10000);
        expect(control != nullptr, "the program hosts the control", "its window", "none");
        return control != nullptr;
    }
    HWND findHost() const { return GetDlgItem(main, win32::kControlId); }
    void press(int button) const { SendMessageW(GetDlgItem(control, button), BM_CLICK, 0, 0); }
    std::string status() const { return windowText(GetDlgItem(control, kStatus)); }
    // The lines mIRC got, each without its NUL.
    static std::vector<std::string> pokes() {
        std::vector<std::string> lines;
        const std::string bytes = bytesOf(L"pokes.bin");
        for (std::size_t at = 0, end; (end = bytes.find('\0', at)) != std::string::npos;
             at = end + 1)
            lines.push_back(bytes.substr(at, end - at));
        return lines;
    }
    static bool pokesReach(std::size_t count) {
        return waitFor([count] { return pokes().size() >= count; }, 10000);
    }
    bool titleIs(const std::string& title) const {
        return waitFor([&] { return field(2) == title; }, 10000);
    }
};

void put(const std::string& name, const std::string& bytes) {
    driver::put(win32::wide(name), bytes);
}

std::string shownPokes(const std::vector<std::string>& lines) {
    std::string shown;
    for (const auto& line : lines)
        shown += "\n    " + line;
    return shown;
}

// A list of three tagged songs, told as each starts: the fields, SongName.txt and mIRC's lines
// hold the control's length and all four tags; pausing and going on tells the song again; the
// control's own buttons, a double-click and a seek each do what they say.
void anEvening(const std::wstring& exe) {
    put("01.mp3", "ID3");
    put("01.mp3.tags", "Title=Беспечный ангел\nAuthor=Ария\nDuration=30\nBitrate=128000\n"
                       "FileSize=3932160\nFileType=MP3\n");
    put("02.mp3", "ID3");
    put("02.mp3.tags", "Title=Кукла колдуна\nAuthor=Король и Шут|КиШ\nDuration=30\n"
                       "Bitrate=192000\nFileSize=524288\nFileType=mp3\n");
    put("03.mp3", "ID3");
    put("03.mp3.tags", "Title=Долгая\nDuration=3725.5\n");
    put("list.m3u", "01.mp3\n02.mp3\n03.mp3\n");

    Evening e;
    if (!e.begin(exe,
                 "AutoStart=True\r\nAutoPrint=True\r\n"
                 "Format=/me слушает !артист - !название [!время] !качество !размер !тип\r\n",
                 L"list.m3u"))
        return;
    expect(e.titleIs("Беспечный ангел"), "the first song starts", "Беспечный ангел", e.field(2));
    expect(e.field(0).ends_with("\\01.mp3") && e.field(1) == "Ария" && e.field(3) == "00:30" &&
               e.field(4) == "128000",
           "the fields hold its source, author, length and bitrate",
           "...\\01.mp3 | Ария | 00:30 | 128000",
           e.field(0) + " | " + e.field(1) + " | " + e.field(3) + " | " + e.field(4));
    const std::string songFile = text::toAnsi("Ария\r\nБеспечный ангел\r\n00:30\r\n128000\r\n");
    waitFor([&] { return e.file(L"SongName.txt") == songFile; }, 10000);
    expect(e.file(L"SongName.txt") == songFile, "SongName.txt, in CP1251", songFile,
           e.file(L"SongName.txt"));
    expect(e.entries() == std::vector<std::string>{"01", "02", "03"} && e.highlight() == 0,
           "the list, lit at the song playing", "01 02 03, row 0",
           std::to_string(e.entries().size()) + " rows, row " + std::to_string(e.highlight()));
    const std::string first =
        text::toAnsi("/me слушает Ария - Беспечный ангел [00:30] 128000 3.75 mp3");
    Evening::pokesReach(1);

    // The control's pause, then its play: the song is told again as it goes on.
    e.press(kPlayPause);
    expect(waitFor([&] { return e.status().starts_with("state 2"); }, 5000), "the control pauses",
           "state 2", e.status());
    e.press(kPlayPause);
    expect(Evening::pokesReach(2), "going on after the pause tells the song again", "2 lines",
           shownPokes(Evening::pokes()));

    // The control's own next and previous, through its list.
    e.press(kNext);
    expect(e.titleIs("Кукла колдуна"), "the control's next", "Кукла колдуна", e.field(2));
    expect(e.highlight() == 1, "the list follows", "row 1", std::to_string(e.highlight()));
    e.press(kPrevious);
    expect(e.titleIs("Беспечный ангел"), "the control's previous", "Беспечный ангел", e.field(2));

    // A double-click plays that entry through the control.
    e.doubleClick(2);
    expect(e.titleIs("Долгая"), "a double-click plays the entry", "Долгая", e.field(2));
    expect(e.field(1).empty() && e.field(3) == "01:02:05" && e.field(4).empty(),
           "an untagged author and bitrate are empty, an hour's length has its hours",
           " | 01:02:05 | ", e.field(1) + " | " + e.field(3) + " | " + e.field(4));
    expect(bytesOf(L"stand-in.log").find("playItem 2") != std::string::npos,
           "the control was asked to play the entry", "playItem 2", bytesOf(L"stand-in.log"));

    // A seek on the control's bar passes through Transitioning: the song is not told again.
    SendMessageW(e.control, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 100),
                 reinterpret_cast<LPARAM>(GetDlgItem(e.control, kBar)));
    e.press(kPrevious);
    expect(e.titleIs("Кукла колдуна"), "the control's previous again", "Кукла колдуна", e.field(2));
    Evening::pokesReach(6);
    const std::string second =
        text::toAnsi("/me слушает Король и Шут\u00A6КиШ - Кукла колдуна [00:30] 192000 .5 mp3");
    const std::string third = text::toAnsi("/me слушает  - Долгая [01:02:05]  0 mp3");
    const std::vector<std::string> told = {first, first, second, first, third, second};
    expect(Evening::pokes() == told, "mIRC gets each start once, in CP1251", shownPokes(told),
           shownPokes(Evening::pokes()));

    expect(e.close() == 0, "closing ends it", "0", "not ended, or failed");
    expect(e.file(L"mirc.ini").find(text::toAnsi("[other]\r\nkey=значение\r\n")) !=
               std::string::npos,
           "mirc.ini keeps what is not ours", "[other] key=значение", e.file(L"mirc.ini"));
}

// Random on, and the user steps with the control's own next button, which goes through the
// control's list in its order: every entry still plays once, in the player's own order, and its
// previous goes back along that order.
void randomOnTheControl(const std::wstring& exe) {
    std::string list;
    for (int i = 1; i <= 12; ++i) {
        const std::string name = "song" + std::to_string(100 + i).substr(1) + ".mp3";
        put(name, "ID3");
        put(name + ".tags", "Title=Песня " + std::to_string(i) + "\nDuration=60\n");
        list += name + "\n";
    }
    put("list.m3u", list);
    Evening e;
    if (!e.begin(exe, "AutoStart=True\r\nRandom=True\r\n", L"list.m3u"))
        return;
    std::vector<std::string> heard;
    waitFor([&] { return !e.field(2).empty(); }, 10000);
    heard.push_back(e.field(2));
    for (int press = 0; press < 11; ++press) {
        e.press(kNext);
        const bool moved = waitFor([&] { return e.field(2) != heard.back(); }, 10000);
        expect(moved, "the control's next starts another song", "a new title",
               "still " + heard.back());
        if (!moved)
            return;
        heard.push_back(e.field(2));
    }
    const std::set<std::string> distinct(heard.begin(), heard.end());
    std::string order;
    int inListOrder = 0;
    for (std::size_t i = 0; i < heard.size(); ++i) {
        order += heard[i] + (i + 1 < heard.size() ? ", " : "");
        const auto number = [&](std::size_t k) { return std::stoi(heard[k].substr(11)); };
        inListOrder += i > 0 && number(i) == number(i - 1) % 12 + 1;
    }
    expect(distinct.size() == 12, "a pass plays every song once", "12 songs", order);
    // In list order by chance: 12 of 12! orders.
    expect(inListOrder < 11, "in the player's order, not the list's", "a random order", order);

    e.press(kPrevious);
    expect(e.titleIs(heard[10]), "the control's previous goes back along the pass", heard[10],
           e.field(2));
    expect(e.close() == 0, "closing ends it", "0", "not ended, or failed");
}

// A web radio: each title the station sends is a new track, "Artist - Title" split, told once.
void aStation(const std::wstring& exe) {
    put("radio.pls", "[playlist]\nNumberOfEntries=1\nFile1=http://127.0.0.1:9/stream\n"
                     "Title1=Радио Тест\n");
    Evening e;
    if (!e.begin(exe, "AutoStart=True\r\nAutoPrint=True\r\n", L"radio.pls"))
        return;
    expect(e.titleIs("Радио Тест"), "the station plays under its name", "Радио Тест", e.field(2));
    const auto title = [&](const std::wstring& text) {
        COPYDATASTRUCT data{0x54544C31, DWORD(text.size() * sizeof(wchar_t)),
                            const_cast<wchar_t*>(text.data())};
        SendMessageW(e.control, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    };
    title(win32::wide("Ария - Беспечный ангел"));
    expect(e.titleIs("Беспечный ангел") && e.field(1) == "Ария" && e.field(3).empty(),
           "its title is a new track, with no length", "Ария | Беспечный ангел | ",
           e.field(1) + " | " + e.field(2) + " | " + e.field(3));
    title(win32::wide("Ария - Беспечный ангел")); // the same again: nothing new
    title(win32::wide("Кино - Группа крови"));
    expect(e.titleIs("Группа крови") && e.field(1) == "Кино", "the next title", "Кино", e.field(1));
    Evening::pokesReach(3);
    const std::vector<std::string> told = {text::toAnsi("/me слушает  - Радио Тест"),
                                           text::toAnsi("/me слушает Ария - Беспечный ангел"),
                                           text::toAnsi("/me слушает Кино - Группа крови")};
    expect(Evening::pokes() == told, "mIRC gets each title once", shownPokes(told),
           shownPokes(Evening::pokes()));
    expect(e.file(L"SongName.txt") == text::toAnsi("Кино\r\nГруппа крови\r\n\r\n\r\n"),
           "SongName.txt follows the station", "Кино, Группа крови", e.file(L"SongName.txt"));
    expect(e.close() == 0, "closing ends it", "0", "not ended, or failed");
}

// AutoStart off: a list is loaded and the control is Ready, nothing is shown or told; Play starts
// the first entry.
void loadedWithoutStarting(const std::wstring& exe) {
    put("01.mp3", "ID3");
    put("01.mp3.tags", "Title=Беспечный ангел\nAuthor=Ария\nDuration=60\n");
    put("02.mp3", "ID3");
    put("list.m3u", "01.mp3\n02.mp3\n");
    Evening e;
    if (!e.begin(exe, "AutoStart=False\r\nAutoPrint=True\r\n", L"list.m3u"))
        return;
    expect(waitFor([&] { return e.status().starts_with("state 10"); }, 10000),
           "the control is loaded and ready", "state 10", e.status());
    expect(e.entries().size() == 2 && e.field(2).empty() && Evening::pokes().empty(),
           "the list shows, nothing plays or is told", "2 entries, no title, no line",
           std::to_string(e.entries().size()) + " entries, title \"" + e.field(2) + "\"");
    PostMessageW(e.main, WM_COMMAND, win32::commandId(player::Command::Play), 0);
    expect(e.titleIs("Беспечный ангел"), "Play starts the first entry", "Беспечный ангел",
           e.field(2));
    expect(Evening::pokesReach(1), "and it is told", "1 line", "none");
    expect(e.close() == 0, "closing ends it", "0", "not ended, or failed");
}

// With AnnounceDelay: going on after a pause shorter than the delay is not told again, after a
// longer one it is, once it has played the delay again.
void pausesAndTheDelay(const std::wstring& exe) {
    put("01.mp3", "ID3");
    put("01.mp3.tags", "Title=Беспечный ангел\nAuthor=Ария\nDuration=60\n");
    Evening e;
    if (!e.begin(exe, "AutoStart=True\r\nAutoPrint=True\r\nAnnounceDelay=1\r\nJsonFile=True\r\n",
                 L"01.mp3"))
        return;
    expect(Evening::pokesReach(1), "the song is told once it has played a second", "1 line",
           "none");
    const auto json = [&](const char* state) {
        return waitFor([&] { return e.file(L"SongName.json").find(state) != std::string::npos; },
                       5000);
    };
    e.press(kPlayPause);
    expect(json("\"paused\""), "SongName.json says it is paused", "\"state\": \"paused\"",
           e.file(L"SongName.json"));
    e.press(kPlayPause); // at once: a pause shorter than the delay
    expect(json("\"playing\""), "and playing again", "\"state\": \"playing\"",
           e.file(L"SongName.json"));
    // Two seconds more of play, by the control's clock: time enough to tell it, were it told.
    const auto at = [&] {
        const std::string status = e.status();
        const std::size_t from = status.find(", at ");
        return from == std::string::npos ? -1 : std::atoi(status.c_str() + from + 5);
    };
    const int resumedAt = at();
    waitFor([&] { return at() >= resumedAt + 2; }, 10000);
    expect(Evening::pokes().size() == 1, "going on after a short pause is not told again", "1 line",
           shownPokes(Evening::pokes()));

    e.press(kPlayPause);
    Sleep(1500); // the user leaves it paused for longer than the delay
    e.press(kPlayPause);
    expect(Evening::pokesReach(2), "after a longer pause it is told again", "2 lines",
           shownPokes(Evening::pokes()));
    expect(e.close() == 0, "closing ends it", "0", "not ended, or failed");
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const Case cases[] = {
        {L"an_evening", anEvening},
        {L"random_on_the_control", randomOnTheControl},
        {L"a_station", aStation},
        {L"pauses_and_the_delay", pausesAndTheDelay},
        {L"loaded_without_starting", loadedWithoutStarting},
    };
    return runCase(argc, argv, cases);
}
