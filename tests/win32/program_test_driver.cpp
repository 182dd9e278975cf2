// Drives the Windows program from outside, as a user and mIRC would meet it, under Wine with its
// real media-player control, beside dde_test_server in the current folder.
// Usage: program_test_driver.exe <tunelark.exe> plays_a_file | no_control | second_copy. The exit
// code is the result; a failure prints what was expected and what was seen.
#include "win32/program_driver.h"

namespace {

using namespace driver;

const std::string kForeign = "[mIRC]\r\nnick=Ёжик\r\n; своё\r\n[Tunelark]\r\nAutoStart=True\r\n"
                             "AutoPrint=True\r\n[other]\r\nkey=значение\r\n";

// A file named on the command line plays, shows its fields, is written to the song file and
// told to mIRC once; closing saves the options beside every byte that is not ours.
void playsAFile(const std::wstring& exe) {
    CreateDirectoryW(L"prog", nullptr);
    CopyFileW(exe.c_str(), L"prog\\tunelark.exe", FALSE);
    const std::string ini = text::toAnsi(kForeign);
    put(L"prog\\mirc.ini", ini);
    const std::wstring song = win32::wide("prog\\песня.wav");
    put(song, wave());

    Program program;
    wchar_t folder[MAX_PATH];
    GetFullPathNameW(L"prog", MAX_PATH, folder, nullptr);
    if (!program.start(std::wstring(folder) + L"\\tunelark.exe", folder,
                       win32::wide("песня.wav"))) {
        expect(false, "the program starts", "started", "CreateProcess failed");
        return;
    }
    HWND main = nullptr;
    waitFor([&] { return (main = FindWindowW(win32::Main::kClassName, nullptr)) != nullptr; },
            30000);
    expect(main != nullptr, "its window opens", "a window", "none");
    if (!main)
        return;
    const auto field = [&](int index) {
        return windowText(GetDlgItem(main, win32::kText0 + index));
    };
    waitFor([&] { return field(2) == "песня"; }, 30000);
    expect(field(2) == "песня", "the title field", "песня", field(2));
    expect(field(3) == "00:02", "the duration field", "00:02", field(3));
    expect(field(0).ends_with("песня.wav"), "the source field", "...песня.wav", field(0));

    const std::string songFile = text::toAnsi("\r\nпесня\r\n00:02\r\n\r\n");
    waitFor([&] { return bytesOf(L"prog\\SongName.txt") == songFile; }, 10000);
    expect(bytesOf(L"prog\\SongName.txt") == songFile, "SongName.txt, four lines in CP1251",
           songFile, bytesOf(L"prog\\SongName.txt"));

    const std::string poke = text::toAnsi("/me слушает  - песня [00:02]") + '\0';
    waitFor([&] { return !bytesOf(L"pokes.bin").empty(); }, 15000);
    // A second announcement of the one start would come in the same turn as the first, before
    // the close is handled.
    PostMessageW(main, WM_CLOSE, 0, 0);
    const int status = program.ended(20000);
    expect(status == 0, "closing ends it with status 0", "0", std::to_string(status));
    expect(bytesOf(L"pokes.bin") == poke, "mIRC gets one line, in CP1251", poke,
           bytesOf(L"pokes.bin"));

    const std::string saved = bytesOf(L"prog\\mirc.ini");
    const std::string expected = text::toAnsi(
        "[mIRC]\r\nnick=Ёжик\r\n; своё\r\n[Tunelark]\r\nAutoStart=True\r\n"
        "AutoPrint=True\r\nRepeat=False\r\nRandom=False\r\n[other]\r\nkey=значение\r\n");
    expect(saved == expected, "mirc.ini keeps every byte not ours", expected, saved);
}

// Without the media-player control (the test takes it away): a message in Russian, a failing
// status, and no file.
void noControl(const std::wstring& exe) {
    CreateDirectoryW(L"bare", nullptr);
    CopyFileW(exe.c_str(), L"bare\\tunelark.exe", FALSE);
    wchar_t folder[MAX_PATH];
    GetFullPathNameW(L"bare", MAX_PATH, folder, nullptr);
    Program program;
    if (!program.start(std::wstring(folder) + L"\\tunelark.exe", folder, L"x.wav")) {
        expect(false, "the program starts", "started", "CreateProcess failed");
        return;
    }
    HWND box = nullptr;
    waitFor(
        [&] {
            box = FindWindowW(L"#32770", L"Tunelark");
            return box && IsWindowVisible(box);
        },
        30000);
    const std::string said = box ? windowText(GetDlgItem(box, 0xFFFF)) : std::string();
    expect(said.find("Проигрыватель Windows Media не найден") == 0, "it says why",
           "Проигрыватель Windows Media не найден…", said);
    if (box)
        SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    const int status = program.ended(20000);
    expect(status == 2, "it ends with a failing status", "2", std::to_string(status));
    expect(GetFileAttributesW(L"bare\\mirc.ini") == INVALID_FILE_ATTRIBUTES &&
               GetFileAttributesW(L"bare\\SongName.txt") == INVALID_FILE_ATTRIBUTES,
           "nothing is written", "no mirc.ini, no SongName.txt", "a file was written");
}

// Only one copy plays and tells: a second start hands its file to the first and ends.
void secondCopyHandsOver(const std::wstring& exe) {
    CreateDirectoryW(L"one", nullptr);
    CreateDirectoryW(L"two", nullptr);
    CopyFileW(exe.c_str(), L"one\\tunelark.exe", FALSE);
    CopyFileW(exe.c_str(), L"two\\tunelark.exe", FALSE);
    put(win32::wide("two\\песня.wav"), wave());
    wchar_t one[MAX_PATH], two[MAX_PATH];
    GetFullPathNameW(L"one", MAX_PATH, one, nullptr);
    GetFullPathNameW(L"two", MAX_PATH, two, nullptr);

    Program first;
    first.start(std::wstring(one) + L"\\tunelark.exe", one, {});
    HWND main = nullptr;
    waitFor([&] { return (main = FindWindowW(win32::Main::kClassName, nullptr)) != nullptr; },
            30000);
    expect(main != nullptr, "the first copy's window opens", "a window", "none");
    if (!main)
        return;
    Program second;
    second.start(std::wstring(two) + L"\\tunelark.exe", two, win32::wide("песня.wav"));
    const int status = second.ended(20000);
    expect(status == 0, "the second copy ends at once", "0", std::to_string(status));

    HWND list = GetDlgItem(main, win32::kList1);
    waitFor([&] { return SendMessageW(list, LB_GETCOUNT, 0, 0) == 1; }, 10000);
    wchar_t name[256] = {};
    if (SendMessageW(list, LB_GETCOUNT, 0, 0) == 1)
        SendMessageW(list, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(name));
    expect(win32::utf8(name) == "песня", "the first copy opened its file", "песня",
           win32::utf8(name));
    PostMessageW(main, WM_CLOSE, 0, 0);
    expect(first.ended(20000) == 0, "the first copy closes", "0", "not ended, or failed");
}

// Messages no second copy would send, up to 10 MB of every 16-bit value (lone surrogates among
// them): each is refused, the program plays on, and its folder holds its own files alone.
void hostileMessages(const std::wstring& exe) {
    CreateDirectoryW(L"prog", nullptr);
    CopyFileW(exe.c_str(), L"prog\\tunelark.exe", FALSE);
    put(L"prog\\mirc.ini", kForeign);
    wchar_t folder[MAX_PATH];
    GetFullPathNameW(L"prog", MAX_PATH, folder, nullptr);
    Program program;
    program.start(std::wstring(folder) + L"\\tunelark.exe", folder, {});
    HWND main = nullptr;
    waitFor([&] { return (main = FindWindowW(win32::Main::kClassName, nullptr)) != nullptr; },
            30000);
    expect(main != nullptr, "its window opens", "a window", "none");
    if (!main)
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
        SendMessageTimeoutW(main, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG,
                            5000, &answer);
        const bool answering =
            SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer) != 0;
        const std::string size = std::to_string(message.size()) + " characters";
        expect(answering, "it keeps running", "the window answers", "no answer after " + size);
        if (!answering)
            return;
        const LRESULT entries = SendMessageW(GetDlgItem(main, win32::kList1), LB_GETCOUNT, 0, 0);
        expect(entries == 0, "it opens nothing", "an empty list",
               std::to_string(entries) + " entries after " + size);
    }
    PostMessageW(main, WM_CLOSE, 0, 0);
    const int status = program.ended(20000);
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
    wchar_t song[MAX_PATH];
    GetFullPathNameW(L"песня.wav", MAX_PATH, song, nullptr);
    if (!player.start(exe, L"prog", text::toAnsi(kForeign), song))
        return;
    // The server logs the conversation before its poke hangs.
    const bool out = waitFor([] { return bytesOf(L"events.log").find("connect") == 0; }, 30000);
    expect(out, "the line goes out", "a conversation", "none");
    if (!out)
        return;
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
    const auto closing = std::chrono::steady_clock::now();
    const int status = player.close(10000);
    std::printf("box after %lld ms, closed in %lld ms\n", after, msSince(closing));
    expect(status == 0, "closing ends it", "0", std::to_string(status));
}

// The program's folder cannot be written: the options beside it are read and carried over to
// %APPDATA%\Tunelark, the user is told so once, and the folder is left as it was.
void appDataFallback(const std::wstring& exe) {
    const std::string ini =
        text::toAnsi("[mIRC]\r\nnick=Ёжик\r\n[Tunelark]\r\nAutoStart=True\r\n"
                     "AutoPrint=True\r\nRandom=True\r\nFormat=np: !название\r\n");
    CreateDirectoryW(L"prog", nullptr);
    CopyFileW(exe.c_str(), L"prog\\tunelark.exe", FALSE);
    put(L"prog\\mirc.ini", ini);
    put(win32::wide("prog\\песня.wav"), wave());
    put(L"prog.ready", "");
    const bool locked = waitFor(
        [] {
            return !bytesOf(L"prog.locked").empty() ||
                   GetFileAttributesW(L"prog.locked") != INVALID_FILE_ATTRIBUTES;
        },
        10000);
    expect(locked, "the folder is made read-only", "prog.locked", "none");
    HANDLE probe = CreateFileW(L"prog\\probe", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    expect(probe == INVALID_HANDLE_VALUE, "the folder cannot be written", "refused", "written");
    if (probe != INVALID_HANDLE_VALUE)
        CloseHandle(probe);
    CreateDirectoryW(L"appdata", nullptr);
    wchar_t appData[MAX_PATH];
    GetFullPathNameW(L"appdata", MAX_PATH, appData, nullptr);
    SetEnvironmentVariableW(L"APPDATA", appData);

    Program program;
    wchar_t folder[MAX_PATH];
    GetFullPathNameW(L"prog", MAX_PATH, folder, nullptr);
    program.start(std::wstring(folder) + L"\\tunelark.exe", folder, win32::wide("песня.wav"));
    const HWND notice = boxShown(30000);
    const std::string said = boxText(notice);
    const std::string from = win32::utf8(folder) + "\\mirc.ini";
    const std::string to = win32::utf8(appData) + "\\Tunelark\\mirc.ini";
    expect(said.find(from) != std::string::npos && said.find(to) != std::string::npos,
           "it says where the options come from and where changes go", from + " ... " + to, said);
    answerBox(notice);
    // AutoPrint came from the folder's mirc.ini: with no mIRC, the line cannot be told.
    const HWND missing = boxShown(30000);
    expect(boxText(missing) == "mIRC не найден!", "the options beside it hold", "mIRC не найден!",
           boxText(missing));
    answerBox(missing);
    const std::string songFile = text::toAnsi("\r\nпесня\r\n00:02\r\n\r\n");
    waitFor([&] { return bytesOf(L"appdata\\Tunelark\\SongName.txt") == songFile; }, 10000);
    expect(bytesOf(L"appdata\\Tunelark\\SongName.txt") == songFile,
           "SongName.txt goes where changes go", songFile,
           bytesOf(L"appdata\\Tunelark\\SongName.txt"));
    HWND main = FindWindowW(win32::Main::kClassName, nullptr);
    PostMessageW(main, WM_CLOSE, 0, 0);
    expect(program.ended(20000) == 0, "closing ends it", "0", "not ended, or failed");
    const std::string carried = text::toAnsi(
        "[Tunelark]\r\nRepeat=False\r\nAutoStart=True\r\nRandom=True\r\nAutoPrint=True\r\n"
        "Format=np: !название\r\n");
    expect(bytesOf(L"appdata\\Tunelark\\mirc.ini") == carried, "the options are carried over",
           carried, bytesOf(L"appdata\\Tunelark\\mirc.ini"));
    expect(bytesOf(L"prog\\mirc.ini") == ini, "the folder's mirc.ini is left as it was", ini,
           bytesOf(L"prog\\mirc.ini"));

    // Started again: nothing more to say, so the window shows without a box.
    Program again;
    again.start(std::wstring(folder) + L"\\tunelark.exe", folder, {});
    HWND shown = nullptr;
    waitFor(
        [&] {
            shown = FindWindowW(win32::Main::kClassName, nullptr);
            return shown && IsWindowVisible(shown);
        },
        30000);
    expect(shown && IsWindowVisible(shown), "the next start says nothing", "the window, no box",
           "a box: " + boxText(FindWindowW(L"#32770", L"Tunelark")));
    PostMessageW(shown, WM_CLOSE, 0, 0);
    expect(again.ended(20000) == 0, "closing ends it again", "0", "not ended, or failed");
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::printf(
            "usage: program_test_driver <tunelark.exe> plays_a_file|no_control|second_copy\n");
        return 2;
    }
    const std::wstring which = argv[2];
    if (which == L"plays_a_file")
        playsAFile(argv[1]);
    else if (which == L"no_control")
        noControl(argv[1]);
    else if (which == L"second_copy")
        secondCopyHandsOver(argv[1]);
    else if (which == L"hung_mirc")
        hungMirc(argv[1], false);
    else if (which == L"hung_mirc_closed")
        hungMirc(argv[1], true);
    else if (which == L"appdata_fallback")
        appDataFallback(argv[1]);
    else if (which == L"hostile_messages")
        hostileMessages(argv[1]);
    else
        return 2;
    std::printf("%ls: %s\n", which.c_str(), failures ? "FAILED" : "passed");
    return failures ? 1 : 0;
}
