// A bare host of the system's media-player control, for the benchmarks to set the program
// beside: one window, the control filling it, playing the file named on its command line half a
// second after it is shown, as a user opens one (so its window's wait can be seen from outside).
// Usage: wmp_host.exe [media file]
#include <windows.h>

#include <ole2.h>
#include <oleauto.h>
#include <shellapi.h>
#include <wmp.h>

extern "C" {
BOOL WINAPI AtlAxWinInit();
HRESULT WINAPI AtlAxGetControl(HWND window, IUnknown** control);
}

namespace {

// Hands the control its file, which it starts playing by itself.
bool play(HWND control, const wchar_t* file) {
    IUnknown* unknown = nullptr;
    IWMPPlayer* player = nullptr;
    if (FAILED(AtlAxGetControl(control, &unknown)) || !unknown)
        return false;
    BSTR url = SysAllocString(file);
    const bool ok = SUCCEEDED(unknown->QueryInterface(__uuidof(IWMPPlayer),
                                                      reinterpret_cast<void**>(&player))) &&
                    SUCCEEDED(player->put_URL(url));
    SysFreeString(url);
    if (player)
        player->Release();
    unknown->Release();
    return ok;
}

constexpr UINT_PTR kOpenTimer = 1;
const wchar_t* g_file = nullptr;

LRESULT CALLBACK hostProc(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_TIMER && w == kOpenTimer) {
        KillTimer(window, kOpenTimer);
        if (!play(GetWindow(window, GW_CHILD), g_file))
            PostQuitMessage(1);
        return 0;
    }
    if (message == WM_SIZE) {
        if (HWND control = GetWindow(window, GW_CHILD))
            MoveWindow(control, 0, 0, LOWORD(l), HIWORD(l), TRUE);
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, w, l);
}

int run(HINSTANCE instance, int show) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = hostProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"WmpHost";
    if (!RegisterClassW(&windowClass) || !AtlAxWinInit())
        return 1;
    HWND window = CreateWindowW(L"WmpHost", L"WMPlayer.OCX", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 640, 480, nullptr, nullptr, instance, nullptr);
    HWND control = CreateWindowW(L"AtlAxWin", L"WMPlayer.OCX", WS_CHILD | WS_VISIBLE, 0, 0, 640,
                                 480, window, nullptr, instance, nullptr);
    if (!window || !control)
        return 1;
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    ShowWindow(window, show);
    if (args && count > 1) {
        g_file = args[1];
        SetTimer(window, kOpenTimer, 500, nullptr);
    }
    MSG message;
    BOOL got;
    while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    LocalFree(args);
    return got == 0 ? int(message.wParam) : 1;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    if (FAILED(OleInitialize(nullptr)))
        return 1;
    const int status = run(instance, show);
    OleUninitialize();
    return status;
}
