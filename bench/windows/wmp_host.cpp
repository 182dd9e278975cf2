// A bare host of the system's media-player control, for the benchmarks to set the program
// beside: one window, the control filling it, playing the file named on its command line.
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

LRESULT CALLBACK hostProc(HWND window, UINT message, WPARAM w, LPARAM l) {
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

// Hands the control its file, which it starts playing by itself.
bool play(HWND control, const wchar_t* file) {
    IUnknown* unknown = nullptr;
    IWMPPlayer* player = nullptr;
    if (FAILED(AtlAxGetControl(control, &unknown)) || !unknown)
        return false;
    const bool ok = SUCCEEDED(unknown->QueryInterface(__uuidof(IWMPPlayer),
                                                      reinterpret_cast<void**>(&player))) &&
                    SUCCEEDED(player->put_URL(SysAllocString(file)));
    if (player)
        player->Release();
    unknown->Release();
    return ok;
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
    if (args && count > 1 && !play(control, args[1]))
        return 1;
    LocalFree(args);
    ShowWindow(window, show);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    if (FAILED(OleInitialize(nullptr)))
        return 1;
    const int status = run(instance, show);
    OleUninitialize();
    return status;
}
