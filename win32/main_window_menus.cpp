// The menus and hotkeys, built from the player's tables, and the commands they give.
#include "win32/main_window.h"

#include "win32/wide.h"

#include <windowsx.h>

namespace win32 {
namespace {

HMENU popupOf(const player::Menu& menu) {
    HMENU popup = CreatePopupMenu();
    for (const player::MenuItem& item : menu.items) {
        if (item.command)
            AppendMenuW(popup, MF_STRING, UINT_PTR(commandId(*item.command)),
                        wide(item.caption).c_str());
        else
            AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
    }
    return popup;
}

UINT keyOf(player::Key key) {
    switch (key) {
    case player::Key::F7:
        return VK_F7;
    case player::Key::F8:
        return VK_F8;
    case player::Key::F11:
        return VK_F11;
    case player::Key::F12:
        return VK_F12;
    }
    return 0;
}

} // namespace

std::optional<player::Command> menuCommand(int id) {
    for (const player::Menu& menu : player::menus())
        for (const player::MenuItem& item : menu.items)
            if (item.command && commandId(*item.command) == id)
                return item.command;
    return std::nullopt;
}

// The menus on the bar; the list's own opens over the list.
HMENU Main::menuBar() {
    HMENU bar = CreateMenu();
    for (const player::Menu& menu : player::menus())
        if (menu.onBar)
            AppendMenuW(bar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popupOf(menu)),
                        wide(menu.caption).c_str());
    return bar;
}

// The list's own menu, as on Linux: clearing the list.
bool Main::contextMenu(HWND where, LPARAM l) {
    if (where != m_list || !m_player)
        return false;
    for (const player::Menu& menu : player::menus()) {
        if (menu.onBar)
            continue;
        HMENU popup = popupOf(menu);
        POINT at = {GET_X_LPARAM(l), GET_Y_LPARAM(l)};
        if (at.x == -1 && at.y == -1) // from the keyboard
            ClientToScreen(m_list, &(at = {0, 0}));
        TrackPopupMenu(popup, TPM_RIGHTBUTTON, at.x, at.y, 0, m_window, nullptr);
        DestroyMenu(popup);
    }
    return true;
}

void Main::command(int id) {
    if (!m_player)
        return;
    const std::optional<player::Command> command = menuCommand(id);
    if (command == player::Command::Exit)
        DestroyWindow(m_window); // the close, with its saving of the options
    else if (command)
        m_player->run(*command);
}

bool Main::hotkey(const MSG& message) {
    if (message.message != WM_KEYDOWN || !m_player ||
        (message.hwnd != m_window && !IsChild(m_window, message.hwnd)))
        return false;
    for (const player::Hotkey& hotkey : player::hotkeys()) {
        if (message.wParam == keyOf(hotkey.key)) {
            m_player->run(hotkey.command);
            return true;
        }
    }
    return false;
}

void Main::setChecked(settings::Flag flag, bool on) {
    const player::MenuItem& item = player::markedItem(flag);
    CheckMenuItem(m_menu, UINT(commandId(*item.command)),
                  MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
}

} // namespace win32
