// What the window shows and asks for the player.
#include "win32/main_window.h"

#include "win32/input_box.h"
#include "win32/wide.h"

#include <algorithm>
#include <commdlg.h>

namespace win32 {
namespace {

using OpenDialog = BOOL(WINAPI*)(OPENFILENAMEW*);

// Its library is loaded on first use: loaded at start, it brings the system's printing along
// (several MiB) for a dialog most runs never open.
OpenDialog openDialog() {
    static const OpenDialog call = [] {
        const HMODULE library = LoadLibraryW(L"comdlg32.dll");
        const FARPROC found = library ? GetProcAddress(library, "GetOpenFileNameW") : nullptr;
        return reinterpret_cast<OpenDialog>(reinterpret_cast<void (*)()>(found));
    }();
    return call;
}

} // namespace

void Main::setNowPlaying(const player::NowPlaying& now) {
    const std::string* fields[] = {&now.source, &now.author, &now.title, &now.duration,
                                   &now.bitrate};
    for (int i = 0; i < 5; ++i)
        SetWindowTextW(m_text[i], wide(*fields[i]).c_str());
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
    const OpenDialog open = openDialog();
    if (!open || !open(&dialog))
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

} // namespace win32
