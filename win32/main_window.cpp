#include "win32/main_window.h"

#include "player/handover.h"
#include "win32/wide.h"

#include <exception>
#include <shellapi.h>

namespace win32 {
namespace {

constexpr UINT kWake = WM_APP + 1;
constexpr COLORREF kWhite = RGB(255, 255, 255);

} // namespace

Main::Main() : m_black(CreateSolidBrush(RGB(0, 0, 0))) {}

Main::~Main() {
    if (m_window)
        DestroyWindow(m_window);
    if (m_font)
        DeleteObject(m_font);
    DeleteObject(m_black);
}

bool Main::create() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // the arrow
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    RegisterClassExW(&windowClass);

    m_menu = menuBar();
    m_window = CreateWindowExW(WS_EX_ACCEPTFILES, kClassName, L"Tunelark", kStyle, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, m_menu,
                               instance, this);
    if (!m_window)
        return false;
    // In tab order: the media control's place comes first, then the fields and the list.
    for (int i = 0; i < 5; ++i)
        m_text[i] = CreateWindowExW(
            WS_EX_CLIENTEDGE, L"EDIT", L"",
            WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL | ES_READONLY, 0, 0, 1, 1, m_window,
            reinterpret_cast<HMENU>(INT_PTR(kText0 + i)), instance, nullptr);
    m_list = createList(instance);
    layout(dpi());
    return true;
}

void Main::connect(player::Player* player, std::function<void()> drain,
                   std::function<void()> closing) {
    m_player = player;
    m_drain = std::move(drain);
    m_closing = std::move(closing);
}

void Main::wake() {
    PostMessageW(m_window, kWake, 0, 0);
}

// The window's messages

LRESULT CALLBACK Main::procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Main*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->m_window = window;
    }
    auto* self = reinterpret_cast<Main*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(window, message, w, l);
    // No exception may cross the system's frames: the message it came from is dropped instead.
    try {
        return self->handle(message, w, l);
    } catch (const std::exception&) {
        return 0;
    }
}

LRESULT Main::handle(UINT message, WPARAM w, LPARAM l) {
    switch (message) {
    case WM_COMMAND:
        command(LOWORD(w));
        return 0;
    case WM_DROPFILES:
        dropped(reinterpret_cast<HDROP>(w));
        return 0;
    case WM_COPYDATA:
        copied(*reinterpret_cast<const COPYDATASTRUCT*>(l));
        return TRUE;
    case WM_TIMER:
        timer(w);
        return 0;
    case kWake:
        if (m_drain)
            m_drain();
        return 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
        return colours(reinterpret_cast<HDC>(w));
    case WM_NOTIFY:
        return notified(*reinterpret_cast<NMHDR*>(l));
    case WM_DPICHANGED:
        dpiChanged(HIWORD(w), *reinterpret_cast<const RECT*>(l));
        return 0;
    case WM_CONTEXTMENU:
        if (contextMenu(reinterpret_cast<HWND>(w), l))
            return 0;
        break;
    case WM_ENDSESSION:
        // Windows ends without closing the window: the options are saved now or never.
        if (w && m_closing)
            m_closing();
        return 0;
    case WM_DESTROY:
        destroyed();
        return 0;
    case WM_NCDESTROY:
        m_window = nullptr;
        break;
    default:
        break;
    }
    return DefWindowProcW(m_window, message, w, l);
}

void Main::timer(WPARAM id) {
    if (id != kAnnounceTimer)
        return;
    KillTimer(m_window, kAnnounceTimer);
    if (m_player)
        m_player->tmAnnounce_Timer();
}

// The fields: white on black, as the list.
LRESULT Main::colours(HDC dc) {
    SetTextColor(dc, kWhite);
    SetBkColor(dc, RGB(0, 0, 0));
    return reinterpret_cast<LRESULT>(m_black);
}

void Main::destroyed() {
    KillTimer(m_window, kAnnounceTimer);
    if (m_closing)
        m_closing();
    m_player = nullptr;
    PostQuitMessage(0);
}

// Of the files dropped, the first is opened.
void Main::dropped(HDROP drop) {
    std::wstring file;
    if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) > 0) {
        file.resize(DragQueryFileW(drop, 0, nullptr, 0) + 1);
        file.resize(DragQueryFileW(drop, 0, file.data(), UINT(file.size())));
    }
    DragFinish(drop);
    if (m_player && !file.empty())
        m_player->Form_OLEDragDrop(utf8(file));
}

// A second copy's files: the first is opened, as with a drop, unless it can name no file: any
// program may send this.
void Main::copied(const COPYDATASTRUCT& data) {
    if (data.dwData != kOpenFilesData || !data.lpData || data.cbData < sizeof(wchar_t))
        return;
    const auto first = player::firstHandedFile(
        {static_cast<const char16_t*>(data.lpData), data.cbData / sizeof(char16_t)});
    if (!first)
        return;
    if (IsIconic(m_window))
        ShowWindow(m_window, SW_RESTORE);
    SetForegroundWindow(m_window);
    if (m_player)
        m_player->Form_OLEDragDrop(*first);
}

int runMessages(Main& window) {
    MSG message;
    for (;;) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0)
            break;
        // A message the system could not hand over (one too large for it, say) is lost, not the
        // end of the program.
        if (got < 0)
            continue;
        window.dispatch(message);
    }
    return int(message.wParam);
}

void Main::dispatch(const MSG& message) {
    if (hotkey(message))
        return;
    if (m_window && IsDialogMessageW(m_window, const_cast<MSG*>(&message)))
        return; // Tab through the controls
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

} // namespace win32
