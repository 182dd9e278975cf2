// Where the window and its controls sit: the form's twips at this monitor's scale.
#include "win32/main_window.h"

#include "player/layout.h"

namespace win32 {
namespace {

using player::kForm;

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

int pixels(int twips, UINT dpi) {
    return player::pixels(twips, int(dpi));
}

RECT windowRect(const RECT& client, DWORD style, UINT dpi) {
    static const auto adjust =
        userFunction<BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
    RECT rect = client;
    if (!adjust || !adjust(&rect, style, TRUE, 0, dpi))
        AdjustWindowRectEx(&rect, style, TRUE, 0);
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

} // namespace

UINT Main::dpi() const {
    static const auto forWindow = userFunction<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
    const UINT dpi = forWindow ? forWindow(m_window) : 0;
    return dpi ? dpi : systemDpi();
}

// The client area where it was drawn, at this monitor's scale.
void Main::show(int how) {
    const UINT dpi = this->dpi();
    const player::Pixels at = player::pixels(kForm.client, int(dpi));
    const RECT outer =
        windowRect({at.left, at.top, at.left + at.width, at.top + at.height}, kStyle, dpi);
    SetWindowPos(m_window, nullptr, outer.left, outer.top, outer.right - outer.left,
                 outer.bottom - outer.top, SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(m_window, how);
    UpdateWindow(m_window);
}

// First among the children: the tab order follows, and the control comes first in it. Only it
// is placed, as the rest already is.
void Main::setControlWindow(HWND control) {
    m_control = control;
    const player::Pixels at = player::pixels(kForm.WindowsMediaPlayer1, int(dpi()));
    SetWindowPos(control, HWND_TOP, at.left, at.top, at.width, at.height, SWP_NOACTIVATE);
}

void Main::layout(UINT dpi) {
    const auto place = [dpi](HWND child, const player::Twips& twips) {
        const player::Pixels at = player::pixels(twips, int(dpi));
        if (child)
            SetWindowPos(child, nullptr, at.left, at.top, at.width, at.height,
                         SWP_NOZORDER | SWP_NOACTIVATE);
    };
    place(m_control, kForm.WindowsMediaPlayer1);
    for (int i = 0; i < 5; ++i)
        place(m_text[i], kForm.Text[std::size_t(i)]);
    place(m_list, kForm.List1);

    HFONT font = messageFont(dpi);
    // Drawn again only when already on screen; at start the first paint draws all.
    const BOOL redraw = IsWindowVisible(m_window);
    for (HWND child : {m_text[0], m_text[1], m_text[2], m_text[3], m_text[4], m_list})
        SendMessageW(child, WM_SETFONT, WPARAM(font), redraw);
    fitColumn();
    if (m_font)
        DeleteObject(m_font);
    m_font = font;
}

// Moved to a monitor of another scale: the system suggests where, the form says how large.
void Main::dpiChanged(UINT dpi, const RECT& suggested) {
    layout(dpi);
    const RECT client = {0, 0, pixels(kForm.client.width, dpi), pixels(kForm.client.height, dpi)};
    const RECT outer = windowRect(client, kStyle, dpi);
    SetWindowPos(m_window, nullptr, suggested.left, suggested.top, outer.right - outer.left,
                 outer.bottom - outer.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace win32
