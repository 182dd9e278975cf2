// The Windows program's window, in process on Wine's null graphics driver: its menus, what it
// shows after a start, a drop, the input box and the hotkeys. The player behind it is the real
// one; the media control is the stand-in, as Wine's own lacks too much.
#include "win32/main_window.h"

#include "player/layout.h"
#include "settings/code_page.h"
#include "support/temp_dir.h"
#include "win32/fake_control.h"
#include "win32/input_box.h"
#include "win32/wide.h"

#include <gtest/gtest.h>

#include <chrono>
#include <commctrl.h>
#include <functional>
#include <shlobj.h>

namespace {

using player::Command;
using testsupport::FakeControl;

struct Link final : announce::IrcLink {
    std::vector<std::string> lines;
    std::string escapeValue(const std::string& value) const override { return value; }
    bool send(const std::string& line) override {
        lines.push_back(line);
        return true;
    }
};

// Runs the window's messages until the condition holds, for at most 10 s.
bool pumpUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return true;
}

std::string textOf(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return win32::utf8(text);
}

std::string menuText(HMENU menu, UINT item, UINT by) {
    wchar_t text[128] = {};
    GetMenuStringW(menu, item, text, 128, by);
    return win32::utf8(text);
}

class Window : public testing::Test {
protected:
    void SetUp() override {
        control.engine = &engine;
        testsupport::put(text::pathOf(dir.file("mirc.ini")),
                         text::toAnsi("[mIRC]\r\nnick=Ёжик\r\n[Tunelark]\r\nRandom=True\r\n"));
        for (const char* name : {"один.wav", "два.wav"})
            testsupport::put(text::pathOf(dir.file(name)), "RIFF");
        ASSERT_TRUE(window.create());
        window.connect(
            &player, [this] { engine.drain(); }, [this] { player.Form_Unload(); });
        const std::string folder = dir.file("");
        player.Form_Load({folder, folder});
        window.show(SW_SHOWNORMAL);
    }
    // The window goes first: its closing still talks to the player.
    void TearDown() override {
        DestroyWindow(window.window());
        // Its end of the program must not end the next test's boxes.
        MSG quit;
        PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    }

    testsupport::TempDir dir;
    FakeControl control;
    win32::Main window;
    win32::ControlEngine engine{control, [this] { window.wake(); }};
    Link link;
    player::Player player{engine, window, link};
};

TEST_F(Window, MenusCarryTheirCaptionsAndTheOptionsTheirMarks) {
    HMENU bar = window.menu();
    ASSERT_EQ(GetMenuItemCount(bar), 3); // the list's own menu is not on the bar
    EXPECT_EQ(menuText(bar, 0, MF_BYPOSITION), "&Файл");
    EXPECT_EQ(menuText(bar, 1, MF_BYPOSITION), "&Воспроизведение");
    EXPECT_EQ(menuText(bar, 2, MF_BYPOSITION), "&Название песни");
    const std::pair<int, const char*> items[] = {
        {win32::commandId(Command::Open), "&Открыть"},
        {win32::commandId(Command::Exit), "&Выход"},
        {win32::commandId(Command::Play), "&Воспроизведение"},
        {win32::commandId(Command::Pause), "&Пауза"},
        {win32::commandId(Command::Stop), "&Остановить"},
        {win32::commandId(Command::AutoStart), "А&втостарт"},
        {win32::commandId(Command::Random), "&Случайно"},
        {win32::commandId(Command::Repeat), "&Автоповтор"},
        {win32::commandId(Command::PrintSongName), "&Написать"},
        {win32::commandId(Command::Format), "&Форма записи"},
        {win32::commandId(Command::AutoPrint), "&Писать автоматически"},
    };
    for (const auto& [id, caption] : items)
        EXPECT_EQ(menuText(bar, UINT(id), MF_BYCOMMAND), caption);

    const auto checked = [&](int id) {
        return (GetMenuState(bar, UINT(id), MF_BYCOMMAND) & MF_CHECKED) != 0;
    };
    EXPECT_TRUE(checked(win32::commandId(Command::Random)));
    EXPECT_FALSE(checked(win32::commandId(Command::Repeat)));
    SendMessageW(window.window(), WM_COMMAND, win32::commandId(Command::Repeat), 0);
    EXPECT_TRUE(checked(win32::commandId(Command::Repeat)));
    EXPECT_TRUE(player.options().repeat);
}

TEST_F(Window, ADropOpensTheFirstFileAndItsStartFillsTheFields) {
    SendMessageW(window.window(), WM_COMMAND, win32::commandId(Command::AutoStart), 0);
    // Two files, as Explorer drops them.
    const std::wstring files = win32::wide(dir.file("один.wav")) + L'\0' +
                               win32::wide(dir.file("два.wav")) + L'\0' + L'\0';
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + files.size() * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::copy(files.begin(), files.end(), reinterpret_cast<wchar_t*>(drop + 1));
    GlobalUnlock(memory);
    SendMessageW(window.window(), WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);

    ASSERT_EQ(ListView_GetItemCount(window.list()), 1);
    ASSERT_TRUE(pumpUntil([&] { return textOf(window.field(2)) == "один"; }));
    EXPECT_EQ(textOf(window.field(0)), dir.file("один.wav"));
    EXPECT_EQ(textOf(window.field(3)), "00:02");
    EXPECT_EQ(ListView_GetNextItem(window.list(), -1, LVNI_SELECTED), 0);
    EXPECT_EQ(testsupport::bytesOf(text::pathOf(dir.file("SongName.txt"))),
              text::toAnsi("\r\nодин\r\n00:02\r\n\r\n"));
}

// Each control and the client area as the form has them, at the window's scale.
TEST_F(Window, ControlsSitWhereTheFormPutsThem) {
    using player::kForm;
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    const auto placed = [&](HWND child) {
        RECT r;
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, window.window(), reinterpret_cast<POINT*>(&r), 2);
        return player::Pixels{r.left, r.top, r.right - r.left, r.bottom - r.top};
    };
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(placed(window.field(i)) == player::pixels(kForm.Text[std::size_t(i)], dpi))
            << i;
    EXPECT_TRUE(placed(window.list()) == player::pixels(kForm.List1, dpi));
    RECT client;
    GetClientRect(window.window(), &client);
    EXPECT_EQ(client.right, player::pixels(kForm.client.width, dpi));
    EXPECT_EQ(client.bottom, player::pixels(kForm.client.height, dpi));
}

// The box is answered once it shows, as a user would.
TEST_F(Window, TheFormatIsAskedForAndStoredInTheFilesOwnEncoding) {
    static std::wstring answer;
    answer = L"/me слушает !название";
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
        HWND box = FindWindowW(L"#32770", L"Tunelark - Запрос");
        if (!box || !IsWindowVisible(box))
            return;
        SetDlgItemTextW(box, win32::kInputLine, answer.c_str());
        SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    });
    SendMessageW(window.window(), WM_COMMAND, win32::commandId(Command::Format), 0);
    KillTimer(nullptr, timer);
    EXPECT_EQ(player.options().format, "/me слушает !название");
    const std::string ini = testsupport::bytesOf(text::pathOf(dir.file("mirc.ini")));
    EXPECT_NE(ini.find(text::toAnsi("Format=/me слушает !название")), std::string::npos) << ini;
    EXPECT_EQ(ini.rfind(text::toAnsi("[mIRC]\r\nnick=Ёжик\r\n"), 0), 0u);
}

// Windows may end the session without closing the window.
TEST_F(Window, TheOptionsAreSavedWhenTheSessionEnds) {
    SendMessageW(window.window(), WM_COMMAND, win32::commandId(Command::Repeat), 0);
    SendMessageW(window.window(), WM_ENDSESSION, TRUE, 0);
    const std::string ini = testsupport::bytesOf(text::pathOf(dir.file("mirc.ini")));
    EXPECT_NE(ini.find("Repeat=True\r\n"), std::string::npos) << ini;
}

TEST_F(Window, EveryHotkeyPressCountsWhicheverControlHasTheFocus) {
    for (HWND target : {window.field(1), window.list(), window.field(1)}) {
        const MSG press{target, WM_KEYDOWN, VK_F12, 0, 0, {}};
        EXPECT_TRUE(window.hotkey(press));
    }
    EXPECT_EQ(control.level, 62);
    const MSG down{window.window(), WM_KEYDOWN, VK_F11, 0, 0, {}};
    EXPECT_TRUE(window.hotkey(down));
    EXPECT_EQ(control.level, 58);
    const MSG other{window.field(1), WM_KEYDOWN, 'A', 0, 0, {}};
    EXPECT_FALSE(window.hotkey(other));
}

} // namespace
