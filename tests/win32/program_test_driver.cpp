// Drives the Windows program from outside, as a user and mIRC would meet it, under Wine with its
// real media-player control, beside dde_test_server in the current folder.
// Usage: program_test_driver.exe <tunelark.exe> <case>. The exit code is the result; a failure
// prints what was expected and what was seen.
#include "win32/program_driver.h"

namespace {

using namespace driver;

const std::string kForeign =
    text::toAnsi("[mIRC]\r\nnick=Ёжик\r\n; своё\r\n[Tunelark]\r\nAutoStart=True\r\n"
                 "AutoPrint=True\r\n[other]\r\nkey=значение\r\n");

std::wstring fullPath(const std::wstring& name) {
    wchar_t full[MAX_PATH];
    GetFullPathNameW(name.c_str(), MAX_PATH, full, nullptr);
    return full;
}

// A file named on the command line plays, shows its fields, is written to the song file and
// told to mIRC once; closing saves the options beside every byte that is not ours.
void playsAFile(const std::wstring& exe) {
    Player player;
    player.place(exe, L"prog", kForeign);
    put(win32::wide("prog\\песня.wav"), wave());
    if (!player.launch(win32::wide("песня.wav")))
        return;
    waitFor([&] { return player.field(2) == "песня"; }, 30000);
    expect(player.field(2) == "песня", "the title field", "песня", player.field(2));
    expect(player.field(3) == "00:02", "the duration field", "00:02", player.field(3));
    expect(player.field(0).ends_with("песня.wav"), "the source field", "...песня.wav",
           player.field(0));

    const std::string songFile = text::toAnsi("\r\nпесня\r\n00:02\r\n\r\n");
    waitFor([&] { return player.file(L"SongName.txt") == songFile; }, 10000);
    expect(player.file(L"SongName.txt") == songFile, "SongName.txt, four lines in CP1251", songFile,
           player.file(L"SongName.txt"));

    const std::string poke = text::toAnsi("/me слушает  - песня [00:02]") + '\0';
    waitFor([&] { return !bytesOf(L"pokes.bin").empty(); }, 15000);
    // A second announcement of the one start would come in the same turn as the first, before
    // the close is handled.
    const int status = player.close();
    expect(status == 0, "closing ends it with status 0", "0", std::to_string(status));
    expect(bytesOf(L"pokes.bin") == poke, "mIRC gets one line, in CP1251", poke,
           bytesOf(L"pokes.bin"));
    const std::string expected = text::toAnsi(
        "[mIRC]\r\nnick=Ёжик\r\n; своё\r\n[Tunelark]\r\nAutoStart=True\r\n"
        "AutoPrint=True\r\nRepeat=False\r\nRandom=False\r\n[other]\r\nkey=значение\r\n");
    expect(player.file(L"mirc.ini") == expected, "mirc.ini keeps every byte not ours", expected,
           player.file(L"mirc.ini"));
}

// Without the media-player control (the test takes it away): a message in Russian, a failing
// status, and no file.
void noControl(const std::wstring& exe) {
    Player player;
    player.place(exe, L"bare", {});
    if (!player.program.start(player.folder + L"\\tunelark.exe", player.folder, L"x.wav"))
        return expect(false, "the program starts", "started", "CreateProcess failed");
    const HWND box = boxShown(30000);
    expect(boxText(box).find("Проигрыватель Windows Media не найден") == 0, "it says why",
           "Проигрыватель Windows Media не найден…", boxText(box));
    answerBox(box);
    const int status = player.program.ended(20000);
    expect(status == 2, "it ends with a failing status", "2", std::to_string(status));
    expect(player.file(L"mirc.ini").empty() && player.file(L"SongName.txt").empty(),
           "nothing is written", "no mirc.ini, no SongName.txt", "a file was written");
}

// Only one copy plays and tells: a second start hands its file to the first and ends.
void secondCopyHandsOver(const std::wstring& exe) {
    Player first;
    if (!first.start(exe, L"one", {}))
        return;
    Player second;
    second.place(exe, L"two", {});
    put(win32::wide("two\\песня.wav"), wave());
    second.program.start(second.folder + L"\\tunelark.exe", second.folder,
                         win32::wide("песня.wav"));
    const int status = second.program.ended(20000);
    expect(status == 0, "the second copy ends at once", "0", std::to_string(status));
    waitFor([&] { return first.entries().size() == 1; }, 10000);
    expect(first.entries() == std::vector<std::string>{"песня"}, "the first copy opened its file",
           "песня", std::to_string(first.entries().size()) + " entries");
    expect(first.close() == 0, "the first copy closes", "0", "not ended, or failed");
}

// Messages no second copy would send, up to 10 MB of every 16-bit value (lone surrogates among
// them): each is refused, the program plays on, and its folder holds its own files alone.
void hostileMessages(const std::wstring& exe) {
    Player player;
    if (!player.start(exe, L"prog", kForeign))
        return;
    uint32_t state = 12345;
    const auto junk = [&state](std::size_t size) {
        std::wstring text(size, L'\0');
        for (wchar_t& c : text) {
            c = wchar_t((state = state * 1103515245u + 12345u) >> 16);
            c = c ? c : L'x'; // one name, the whole message long
        }
        return text;
    };
    const std::wstring messages[] = {junk(5 * 1024 * 1024), junk(512 * 1024), junk(300),
                                     L"C:\\a\nb.wav" + std::wstring(1, L'\0'),
                                     std::wstring(40000, L'a') + L".wav"};
    for (const std::wstring& message : messages) {
        COPYDATASTRUCT data{win32::kOpenFilesData, DWORD(message.size() * sizeof(wchar_t)),
                            const_cast<wchar_t*>(message.data())};
        DWORD_PTR answer = 0;
        SendMessageTimeoutW(player.main, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                            SMTO_ABORTIFHUNG, 5000, &answer);
        const std::string after = " after " + std::to_string(message.size()) + " characters";
        if (!answers(player.main, 5000))
            return expect(false, "it keeps running", "the window answers", "no answer" + after);
        expect(player.entries().empty(), "it opens nothing", "an empty list",
               std::to_string(player.entries().size()) + " entries" + after);
    }
    const int status = player.close();
    expect(status == 0, "closing ends it with status 0", "0", std::to_string(status));
    std::string files;
    for (const auto& entry : std::filesystem::directory_iterator(L"prog"))
        files += (files.empty() ? "" : " ") + win32::utf8(entry.path().filename().wstring());
    expect(files == "mirc.ini tunelark.exe", "nothing but its own files", "mirc.ini tunelark.exe",
           files);
}

// A mIRC that takes the poke and never answers: the window keeps answering while the line is
// out, and at the limit says mIRC is missing. Or the user closes it meanwhile: it ends at once.
void hungMirc(const std::wstring& exe, bool closeWhileHung) {
    Player player;
    put(L"песня.wav", wave());
    if (!player.start(exe, L"prog", kForeign, fullPath(L"песня.wav")))
        return;
    // The server logs the conversation before its poke hangs.
    if (!waitFor([] { return bytesOf(L"events.log").find("connect") == 0; }, 30000))
        return expect(false, "the line goes out", "a conversation", "none");
    const auto since = std::chrono::steady_clock::now();
    expect(answers(player.main, 1000), "the window answers while mIRC hangs",
           "an answer within 1 s", "none");
    if (closeWhileHung) {
        const int status = player.close(3000);
        expect(status == 0, "closing while mIRC hangs ends it at once", "0 within 3 s",
               std::to_string(status) + " after " + std::to_string(msSince(since)) + " ms");
        expect(player.file(L"mirc.ini").find("Repeat=False") != std::string::npos,
               "the options are saved", "Repeat=False", player.file(L"mirc.ini"));
        return;
    }
    const HWND box = boxShown(10000);
    const long long after = msSince(since);
    expect(boxText(box) == "mIRC не найден!", "at the limit it says so", "mIRC не найден!",
           boxText(box));
    expect(after >= 3000 && after <= 9000, "the box comes at the limit", "3000..9000 ms",
           std::to_string(after) + " ms");
    answerBox(box);
    expect(player.close(10000) == 0, "closing ends it", "0", "not ended, or failed");
}

void hungMircOpen(const std::wstring& exe) {
    hungMirc(exe, false);
}

void hungMircClosed(const std::wstring& exe) {
    hungMirc(exe, true);
}

// The program's folder cannot be written: the options beside it are read and carried over to
// %APPDATA%\Tunelark, the user is told so once, and the folder is left as it was.
void appDataFallback(const std::wstring& exe) {
    const std::string ini =
        text::toAnsi("[mIRC]\r\nnick=Ёжик\r\n[Tunelark]\r\nAutoStart=True\r\n"
                     "AutoPrint=True\r\nRandom=True\r\nFormat=np: !название\r\n");
    Player player;
    player.place(exe, L"prog", ini);
    put(win32::wide("prog\\песня.wav"), wave());
    put(L"prog.ready", ""); // the test's shell makes the folder read-only now
    expect(waitFor([] { return GetFileAttributesW(L"prog.locked") != INVALID_FILE_ATTRIBUTES; },
                   10000),
           "the folder is made read-only", "prog.locked", "none");
    HANDLE probe = CreateFileW(L"prog\\probe", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    expect(probe == INVALID_HANDLE_VALUE, "the folder cannot be written", "refused", "written");
    if (probe != INVALID_HANDLE_VALUE)
        CloseHandle(probe);
    CreateDirectoryW(L"appdata", nullptr);
    SetEnvironmentVariableW(L"APPDATA", fullPath(L"appdata").c_str());

    if (!player.launch(win32::wide("песня.wav")))
        return;
    const HWND notice = boxShown(30000);
    const std::string from = win32::utf8(player.folder) + "\\mirc.ini";
    const std::string to = win32::utf8(fullPath(L"appdata")) + "\\Tunelark\\mirc.ini";
    expect(boxText(notice).find(from) != std::string::npos &&
               boxText(notice).find(to) != std::string::npos,
           "it says where the options come from and where changes go", from + " ... " + to,
           boxText(notice));
    answerBox(notice);
    // AutoPrint came from the folder's mirc.ini: with no mIRC, the line cannot be told.
    const HWND missing = boxShown(30000);
    expect(boxText(missing) == "mIRC не найден!", "the options beside it hold", "mIRC не найден!",
           boxText(missing));
    answerBox(missing);
    const std::wstring files = L"appdata\\Tunelark\\";
    const std::string songFile = text::toAnsi("\r\nпесня\r\n00:02\r\n\r\n");
    waitFor([&] { return bytesOf(files + L"SongName.txt") == songFile; }, 10000);
    expect(bytesOf(files + L"SongName.txt") == songFile, "SongName.txt goes where changes go",
           songFile, bytesOf(files + L"SongName.txt"));
    expect(player.close() == 0, "closing ends it", "0", "not ended, or failed");
    const std::string carried = text::toAnsi(
        "[Tunelark]\r\nRepeat=False\r\nAutoStart=True\r\nRandom=True\r\nAutoPrint=True\r\n"
        "Format=np: !название\r\n");
    expect(bytesOf(files + L"mirc.ini") == carried, "the options are carried over", carried,
           bytesOf(files + L"mirc.ini"));
    expect(player.file(L"mirc.ini") == ini, "the folder's mirc.ini is left as it was", ini,
           player.file(L"mirc.ini"));

    // Started again: nothing more to say, so the window shows without a box.
    Player again;
    again.folder = player.folder;
    if (!again.launch())
        return;
    waitFor([&] { return IsWindowVisible(again.main); }, 30000);
    expect(IsWindowVisible(again.main), "the next start says nothing", "the window, no box",
           "a box: " + boxText(FindWindowW(L"#32770", L"Tunelark")));
    expect(again.close() == 0, "closing ends it again", "0", "not ended, or failed");
}

// A list of 100,000 entries: the first plays, and the window answers all the while the rest of
// the list comes in, until it shows every entry.
void aLongList(const std::wstring& exe) {
    constexpr LRESULT kEntries = 100000;
    Player player;
    player.place(exe, L"prog", kForeign);
    std::string list;
    for (int i = 1; i <= 4; ++i)
        put(L"prog\\0" + std::to_wstring(i) + L".wav", wave());
    for (LRESULT i = 0; i < kEntries; ++i)
        list += "0" + std::to_string(i % 4 + 1) + ".wav\n";
    put(L"prog\\long.m3u", list);
    if (!player.launch(L"long.m3u"))
        return;
    LRESULT rows = 0;
    bool answered = true, first = false; // each 2 s entry goes on by itself
    waitFor(
        [&] {
            answered = answered && answers(player.main, 1000);
            first = first || player.field(2) == "01";
            rows = SendMessageW(player.list(), LVM_GETITEMCOUNT, 0, 0);
            return rows == kEntries || !answered;
        },
        60000);
    expect(answered, "the window answers while the list comes in", "an answer within 1 s",
           "none, at " + std::to_string(rows) + " rows");
    struct Row {
        LVITEMW item;
        wchar_t text[16];
    } last{};
    last.item.cchTextMax = int(std::size(last.text));
    const std::string lastName =
        win32::utf8(player.askList(LVM_GETITEMTEXTW, WPARAM(kEntries - 1), last).text);
    expect(rows == kEntries && lastName == "04", "the list shows every entry, to the last",
           std::to_string(kEntries) + " rows, the last 04",
           std::to_string(rows) + " rows, the last " + lastName);
    expect(first || waitFor([&] { return player.field(2) == "01"; }, 10000),
           "the first entry plays", "01", player.field(2));
    expect(player.close() == 0, "closing ends it", "0", "not ended, or failed");
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const Case cases[] = {
        {L"plays_a_file", playsAFile},          {L"no_control", noControl},
        {L"second_copy", secondCopyHandsOver},  {L"hostile_messages", hostileMessages},
        {L"hung_mirc", hungMircOpen},           {L"hung_mirc_closed", hungMircClosed},
        {L"appdata_fallback", appDataFallback}, {L"a_long_list", aLongList},
    };
    return runCase(argc, argv, cases);
}
