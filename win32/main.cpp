// The Windows program: one window over the system's media-player control, telling mIRC what
// plays over DDE.

#include "player/player.h"
#include "settings/places.h"
#include "win32/control_engine.h"
#include "win32/dde_server.h"
#include "win32/main_window.h"
#include "win32/mirc_link.h"
#include "win32/program_places.h"
#include "win32/wide.h"
#include "win32/wmp_control.h"

#include <ole2.h>
#include <shellapi.h>
#include <vector>

namespace {

std::vector<std::wstring> filesNamed() {
    std::vector<std::wstring> files;
    int count = 0;
    if (wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i)
            files.emplace_back(args[i]);
        LocalFree(args);
    }
    return files;
}

// Only one copy tells the channel: a second start hands its files to the first and ends.
bool handedOver(const std::vector<std::wstring>& files) {
    HWND first = nullptr;
    // The first copy may still be coming up.
    for (int waited = 0; !first && waited < 100; ++waited) {
        first = FindWindowW(win32::Main::kClassName, nullptr);
        if (!first)
            Sleep(50);
    }
    if (!first)
        return false;
    // Named from this copy's folder, which the first does not share.
    std::wstring payload;
    for (const auto& file : files) {
        std::wstring full(32768, L'\0');
        const DWORD length =
            GetFullPathNameW(file.c_str(), DWORD(full.size()), full.data(), nullptr);
        full.resize(length > 0 && length < full.size() ? length : 0);
        payload.append(full.empty() ? file : full).push_back(L'\0');
    }
    DWORD process = 0;
    GetWindowThreadProcessId(first, &process);
    AllowSetForegroundWindow(process);
    COPYDATASTRUCT data{win32::kOpenFilesData, DWORD(payload.size() * sizeof(wchar_t)),
                        payload.data()};
    DWORD_PTR answer = 0;
    return SendMessageTimeoutW(first, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                               SMTO_ABORTIFHUNG, 10000, &answer) != 0;
}

// The engine while there is one: the control's events and the slices of a long list go to it.
win32::ControlEngine* g_engine = nullptr;
constexpr UINT_PTR kFeedTimer = 2;

// A timer's message comes after the window's input and painting, so the user is not kept
// waiting while a long list comes in.
void CALLBACK feedNext(HWND window, UINT, UINT_PTR id, DWORD) {
    KillTimer(window, id);
    if (g_engine)
        g_engine->drain();
}

// What an IRC client's DDE request for an item of what plays gets: empty text while nothing plays.
std::optional<std::string> nowPlayingItem(const player::Player& player, const std::string& item) {
    if (item == "line")
        return player.currentLine();
    const playback::Track* track = player.playingNow();
    if (item == "artist")
        return track ? track->author : std::string();
    if (item == "title")
        return track ? track->name : std::string();
    return std::nullopt;
}

// The window's messages, with the client's requests answered among them from the player's state.
int runAnswering(win32::Main& window, const player::Player& player) {
    const win32::DdeServer server(
        [&player](const std::string& item) { return nowPlayingItem(player, item); });
    return win32::runMessages(window);
}

int run(int show) {
    const std::vector<std::wstring> files = filesNamed();
    HANDLE only = CreateMutexW(nullptr, FALSE, L"Local\\Tunelark.Player");
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        const bool handed = handedOver(files);
        CloseHandle(only);
        return handed ? 0 : 1;
    }

    win32::Main window;
    if (!window.create())
        return 1;
    auto control = win32::WmpControl::create(window.window(), win32::kControlId,
                                             [](win32::ControlEvent event) {
                                                 if (g_engine)
                                                     g_engine->queue(event);
                                             });
    if (!control) {
        // Nothing is read or written: there is nothing to play with.
        MessageBoxW(nullptr,
                    win32::wide("Проигрыватель Windows Media не найден. Tunelark играет через "
                                "него: установите компонент «Проигрыватель Windows Media» "
                                "(в выпусках N — пакет Media Feature Pack) и запустите "
                                "Tunelark снова.")
                        .c_str(),
                    L"Tunelark", MB_OK | MB_ICONERROR);
        CloseHandle(only);
        return 2;
    }
    win32::ControlEngine controlEngine(
        *control, [&window] { window.wake(); },
        [&window] { SetTimer(window.window(), kFeedTimer, USER_TIMER_MINIMUM, feedNext); });
    g_engine = &controlEngine;
    window.setControlWindow(control->window());

    announce::MircLink link([&window](const MSG& message) { window.dispatch(message); });
    player::Player player(controlEngine, window, link);
    window.connect(
        &player, [&controlEngine] { controlEngine.drain(); },
        [&] {
            player.Form_Unload();
            g_engine = nullptr;
            controlEngine.close();
            control.reset(); // while its window is still there
        });
    // However run() is left, the window goes first: its closing still needs the player.
    struct CloseFirst {
        win32::Main& window;
        ~CloseFirst() {
            if (window.window())
                DestroyWindow(window.window());
        }
    } closeFirst{window};
    player.Form_Load(win32::programPlaces());
    window.show(show);
    if (!files.empty())
        player.fOpenFile(win32::utf8(files.front()));
    const int status = runAnswering(window, player);
    CloseHandle(only);
    return status;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
    if (FAILED(OleInitialize(nullptr)))
        return 1;
    const int status = run(show);
    OleUninitialize();
    return status;
}
