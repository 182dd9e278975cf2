#include "win32/main_window.h"

#include "player/handover.h"
#include "win32/input_box.h"
#include "win32/wide.h"

#include <algorithm>
#include <commdlg.h>
#include <exception>
#include <shellapi.h>
#include <windowsx.h>

namespace win32 {
namespace {

constexpr UINT kWake = WM_APP + 1;
constexpr UINT_PTR kAnnounceTimer = 1;
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

// Places in twips: left, top, width, height.
struct Twips {
    int left, top, width, height;
};
constexpr Twips kClient = {2835, 3210, 10380, 7065};
constexpr Twips kControl = {0, 1500, 6585, 5535};
constexpr Twips kList = {6600, 0, 3795, 7080};
constexpr Twips text(int index) {
    return {0, 300 * index, 6615, 285};
}

int pixels(int twips, UINT dpi) {
    return MulDiv(twips, int(dpi), 1440);
}

// Newer systems scale each monitor on its own; older ones have one scale for all.
template <class F> F userFunction(const char* name) {
    return reinterpret_cast<F>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

UINT systemDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? UINT(dpi) : 96;
}

UINT dpiOf(HWND window) {
    static const auto forWindow = userFunction<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
    const UINT dpi = forWindow ? forWindow(window) : 0;
    return dpi ? dpi : systemDpi();
}

RECT windowRect(const RECT& client, bool menu, UINT dpi) {
    static const auto adjust =
        userFunction<BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
    RECT rect = client;
    if (!adjust || !adjust(&rect, kStyle, menu, 0, dpi))
        AdjustWindowRectEx(&rect, kStyle, menu, 0);
    return rect;
}

HFONT messageFont(UINT dpi) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        return nullptr;
    metrics.lfMessageFont.lfHeight =
        MulDiv(metrics.lfMessageFont.lfHeight, int(dpi), int(systemDpi()));
    return CreateFontIndirectW(&metrics.lfMessageFont);
}

HMENU popup(std::initializer_list<std::pair<int, const char*>> items) {
    HMENU menu = CreatePopupMenu();
    for (const auto& [id, caption] : items) {
        if (id == 0)
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        else
            AppendMenuW(menu, MF_STRING, UINT_PTR(id), wide(caption).c_str());
    }
    return menu;
}

void appendPopup(HMENU bar, HMENU menu, const char* caption) {
    AppendMenuW(bar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(menu), wide(caption).c_str());
}

int commandOf(settings::Flag flag) {
    switch (flag) {
    case settings::Flag::Repeat:
        return mnRepeat;
    case settings::Flag::AutoStart:
        return mnAutoStart;
    case settings::Flag::Random:
        return mnRandom;
    case settings::Flag::AutoPrint:
        return mnAutoPrint;
    }
    return 0;
}

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

    // The menus; "Меню списка" is kept off the bar, as nothing opens it.
    m_menu = CreateMenu();
    appendPopup(m_menu, popup({{mnOpen, "&Открыть"}, {0, nullptr}, {mnExit, "&Выход"}}), "&Файл");
    appendPopup(m_menu,
                popup({{mnPlay, "&Воспроизведение"},
                       {mnPause, "&Пауза"},
                       {mnStop, "&Остановить"},
                       {0, nullptr},
                       {mnAutoStart, "А&втостарт"},
                       {mnRandom, "&Случайно"},
                       {mnRepeat, "&Автоповтор"}}),
                "&Воспроизведение");
    appendPopup(m_menu,
                popup({{mnPrintSongName, "&Написать"},
                       {mnFormat, "&Форма записи"},
                       {0, nullptr},
                       {mnAutoPrint, "&Писать автоматически"}}),
                "&Название песни");

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
    m_list = CreateWindowExW(
        WS_EX_CLIENTEDGE, L"LISTBOX", L"",
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, 0, 0,
        1, 1, m_window, reinterpret_cast<HMENU>(INT_PTR(kList1)), instance, nullptr);
    layout(dpiOf(m_window));
    return true;
}

void Main::connect(player::Player* player, std::function<void()> drain,
                   std::function<void()> closing) {
    m_player = player;
    m_drain = std::move(drain);
    m_closing = std::move(closing);
}

void Main::setControlWindow(HWND control) {
    m_control = control;
    SetWindowPos(control, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    layout(dpiOf(m_window));
}

void Main::wake() {
    PostMessageW(m_window, kWake, 0, 0);
}

// The client area where it was drawn, at this monitor's scale.
void Main::show(int how) {
    const UINT dpi = dpiOf(m_window);
    RECT client = {pixels(kClient.left, dpi), pixels(kClient.top, dpi), 0, 0};
    client.right = client.left + pixels(kClient.width, dpi);
    client.bottom = client.top + pixels(kClient.height, dpi);
    const RECT outer = windowRect(client, true, dpi);
    SetWindowPos(m_window, nullptr, outer.left, outer.top, outer.right - outer.left,
                 outer.bottom - outer.top, SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(m_window, how);
    UpdateWindow(m_window);
}

void Main::layout(UINT dpi) {
    const auto place = [dpi](HWND child, const Twips& at) {
        if (child)
            SetWindowPos(child, nullptr, pixels(at.left, dpi), pixels(at.top, dpi),
                         pixels(at.width, dpi), pixels(at.height, dpi),
                         SWP_NOZORDER | SWP_NOACTIVATE);
    };
    place(m_control, kControl);
    for (int i = 0; i < 5; ++i)
        place(m_text[i], text(i));
    place(m_list, kList);

    HFONT font = messageFont(dpi);
    for (HWND child : {m_text[0], m_text[1], m_text[2], m_text[3], m_text[4], m_list})
        SendMessageW(child, WM_SETFONT, WPARAM(font), TRUE);
    if (m_font)
        DeleteObject(m_font);
    m_font = font;
}

bool Main::hotkey(const MSG& message) {
    if (message.message != WM_KEYDOWN || !m_player ||
        (message.hwnd != m_window && !IsChild(m_window, message.hwnd)))
        return false;
    switch (message.wParam) {
    case VK_F7:
        m_player->hotkey(player::Hotkey::Previous);
        return true;
    case VK_F8:
        m_player->hotkey(player::Hotkey::Next);
        return true;
    case VK_F11:
        m_player->hotkey(player::Hotkey::VolumeDown);
        return true;
    case VK_F12:
        m_player->hotkey(player::Hotkey::VolumeUp);
        return true;
    default:
        return false;
    }
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
        command(LOWORD(w), HIWORD(w));
        return 0;
    case WM_DROPFILES:
        dropped(reinterpret_cast<HDROP>(w));
        return 0;
    case WM_COPYDATA:
        copied(*reinterpret_cast<const COPYDATASTRUCT*>(l));
        return TRUE;
    case WM_TIMER:
        if (w == kAnnounceTimer) {
            KillTimer(m_window, kAnnounceTimer);
            if (m_player)
                m_player->tmAnnounce_Timer();
        }
        return 0;
    case kWake:
        if (m_drain)
            m_drain();
        return 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORLISTBOX: {
        // The fields and the list: white on black.
        HDC dc = reinterpret_cast<HDC>(w);
        SetTextColor(dc, kWhite);
        SetBkColor(dc, RGB(0, 0, 0));
        return reinterpret_cast<LRESULT>(m_black);
    }
    case WM_DPICHANGED: {
        layout(HIWORD(w));
        const RECT* suggested = reinterpret_cast<const RECT*>(l);
        RECT client = {0, 0, pixels(kClient.width, HIWORD(w)), pixels(kClient.height, HIWORD(w))};
        const RECT outer = windowRect(client, true, HIWORD(w));
        SetWindowPos(m_window, nullptr, suggested->left, suggested->top, outer.right - outer.left,
                     outer.bottom - outer.top, SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_CONTEXTMENU:
        // The list's own menu, as on Linux: clearing the list.
        if (reinterpret_cast<HWND>(w) == m_list && m_player) {
            HMENU menu = popup({{mnClearList, "&Очистить список"}});
            POINT at = {GET_X_LPARAM(l), GET_Y_LPARAM(l)};
            if (at.x == -1 && at.y == -1) // from the keyboard
                ClientToScreen(m_list, &(at = {0, 0}));
            TrackPopupMenu(menu, TPM_RIGHTBUTTON, at.x, at.y, 0, m_window, nullptr);
            DestroyMenu(menu);
            return 0;
        }
        break;
    case WM_ENDSESSION:
        // Windows ends without closing the window: the options are saved now or never.
        if (w && m_closing)
            m_closing();
        return 0;
    case WM_DESTROY:
        KillTimer(m_window, kAnnounceTimer);
        if (m_closing)
            m_closing();
        m_player = nullptr;
        PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY:
        m_window = nullptr;
        break;
    default:
        break;
    }
    return DefWindowProcW(m_window, message, w, l);
}

void Main::command(int id, int code) {
    if (!m_player)
        return;
    if (id == kList1) {
        if (code == LBN_DBLCLK)
            m_player->List1_DblClick(int(SendMessageW(m_list, LB_GETCURSEL, 0, 0)));
        return;
    }
    switch (id) {
    case mnOpen:
        m_player->mnOpen_Click();
        break;
    case mnExit:
        DestroyWindow(m_window); // the close, with its saving of the options
        break;
    case mnPlay:
        m_player->mnPlay_Click();
        break;
    case mnPause:
        m_player->mnPause_Click();
        break;
    case mnStop:
        m_player->mnStop_Click();
        break;
    case mnAutoStart:
        m_player->mnAutoStart_Click();
        break;
    case mnRandom:
        m_player->mnRandom_Click();
        break;
    case mnRepeat:
        m_player->mnRepeat_Click();
        break;
    case mnPrintSongName:
        m_player->mnPrintSongName_Click();
        break;
    case mnFormat:
        m_player->mnFormat_Click();
        break;
    case mnAutoPrint:
        m_player->mnAutoPrint_Click();
        break;
    case mnClearList:
        m_player->mnClearList_Click();
        break;
    default:
        break;
    }
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

// What the player shows

void Main::setText(int index, const std::string& text) {
    if (index >= 0 && index < 5)
        SetWindowTextW(m_text[index], wide(text).c_str());
}

void Main::setList(const std::vector<std::string>& names) {
    SendMessageW(m_list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(m_list, LB_RESETCONTENT, 0, 0);
    for (const std::string& name : names)
        SendMessageW(m_list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(name).c_str()));
    SendMessageW(m_list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(m_list, nullptr, TRUE);
}

void Main::setListIndex(int row) {
    SendMessageW(m_list, LB_SETCURSEL, WPARAM(row), 0);
}

void Main::setChecked(settings::Flag flag, bool on) {
    CheckMenuItem(m_menu, UINT(commandOf(flag)), MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
}

// Owned by no window, so the player stays usable while it is open.
std::string Main::showOpen(const std::string& filter, const std::string& title,
                           const std::string& folder) {
    std::wstring filters = wide(filter);
    std::replace(filters.begin(), filters.end(), L'|', L'\0');
    filters.append(2, L'\0');
    const std::wstring caption = wide(title);
    const std::wstring initial = wide(folder);
    std::wstring file(32768, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hInstance = GetModuleHandleW(nullptr);
    dialog.lpstrFilter = filters.c_str();
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = DWORD(file.size());
    dialog.lpstrInitialDir = initial.c_str();
    dialog.lpstrTitle = caption.c_str();
    dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameW(&dialog))
        return {};
    return utf8(file.c_str());
}

std::optional<std::string> Main::inputBox(const std::string& prompt, const std::string& title,
                                          const std::string& preset) {
    const auto answer = win32::inputBox(m_window, wide(prompt), wide(title), wide(preset));
    if (!answer)
        return std::nullopt;
    return utf8(*answer);
}

// Once the window has closed, nobody is left to read a box.
void Main::messageBox(const std::string& text) {
    if (m_window)
        MessageBoxW(m_window, wide(text).c_str(), L"Tunelark", MB_OK);
}

void Main::setTimer(std::optional<int64_t> ms) {
    if (!m_window)
        return;
    if (ms)
        SetTimer(m_window, kAnnounceTimer, UINT(std::clamp<int64_t>(*ms, 0, 0x7FFFFFFF)), nullptr);
    else
        KillTimer(m_window, kAnnounceTimer);
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
