#pragma once

// The program's one window, Main: the now-playing fields, the playlist, the place of the media
// control and the menus, drawn by the system. It shows what the player says and hands every
// command to it.

#include "player/commands.h"
#include "player/player.h"
#include "player/view.h"

#include <functional>
#include <optional>
#include <string>
#include <windows.h>

namespace win32 {

// The WM_COMMAND id of each menu item's command.
constexpr int commandId(player::Command command) {
    return 101 + int(command);
}
// The command of a menu item's id; none for any other.
std::optional<player::Command> menuCommand(int id);

// Child window ids.
enum ChildId : int { kControlId = 1, kText0 = 10, kList1 = 20 };

// WM_COPYDATA from a second copy: the files it was started with, as UTF-16, each ending in NUL.
inline constexpr ULONG_PTR kOpenFilesData = 0x544C4B31; // "TLK1"

class Main final : public player::View {
public:
    static constexpr const wchar_t* kClassName = L"TunelarkMain";

    Main();
    ~Main() override;
    Main(const Main&) = delete;
    Main& operator=(const Main&) = delete;

    // The window with its controls and menus, hidden.
    bool create();
    HWND window() const { return m_window; }
    HMENU menu() const { return m_menu; }
    HWND field(int index) const { return m_text[index]; }
    HWND list() const { return m_list; }

    // Who answers: the player for the commands, drain for the engine's queued events, and
    // closing before the window's children go.
    void connect(player::Player* player, std::function<void()> drain,
                 std::function<void()> closing);
    // The media control's own window, kept in its place.
    void setControlWindow(HWND control);
    // Asks for drain() once the current call has returned.
    void wake();
    void show(int how);

    // A hotkey (F7, F8, F11, F12) from the message loop, whichever of our controls has the focus;
    // true when it was one.
    bool hotkey(const MSG& message);
    // One message of the thread, as the window's own loop runs it: hotkeys, Tab, then the rest.
    void dispatch(const MSG& message);

    void setNowPlaying(const player::NowPlaying& now) override;
    void listReplaced(const player::ListRows& rows) override;
    void listAdded(const player::ListRows& rows, int first) override;
    void setListIndex(int row) override;
    void setChecked(settings::Flag flag, bool on) override;
    std::string showOpen(const std::string& filter, const std::string& title,
                         const std::string& folder) override;
    std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                        const std::string& preset) override;
    void messageBox(const std::string& text) override;
    void setTimer(std::optional<int64_t> ms) override;

private:
    static constexpr DWORD kStyle =
        WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    static constexpr UINT_PTR kAnnounceTimer = 1;

    static HMENU menuBar();
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM w, LPARAM l);
    LRESULT handle(UINT message, WPARAM w, LPARAM l);
    void command(int id);
    bool contextMenu(HWND where, LPARAM at);
    void dropped(HDROP drop);
    void copied(const COPYDATASTRUCT& data);
    void timer(WPARAM id);
    void destroyed();
    LRESULT colours(HDC dc);
    HWND createList(HINSTANCE instance);
    LRESULT notified(NMHDR& note);
    void fitColumn();

    // The layout, in this monitor's pixels.
    UINT dpi() const;
    void layout(UINT dpi);
    void dpiChanged(UINT dpi, const RECT& suggested);

    HWND m_window = nullptr;
    HMENU m_menu = nullptr;
    HWND m_text[5] = {};
    HWND m_list = nullptr;
    const player::ListRows* m_rows = nullptr; // what List1 reads its rows from
    std::wstring m_rowText;                   // the row List1 asked for last, as it draws it
    HWND m_control = nullptr;
    HFONT m_font = nullptr;
    HBRUSH m_black = nullptr;
    player::Player* m_player = nullptr;
    std::function<void()> m_drain;
    std::function<void()> m_closing;
};

// Runs the window's messages until it is gone; the exit status.
int runMessages(Main& window);

} // namespace win32
