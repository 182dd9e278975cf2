#pragma once

// What the user can ask of the player, and the menus and keys that ask it: one table each, which
// both windows build their menus and hotkeys from.

#include "settings/play_options.h"

#include <optional>
#include <span>

namespace player {

// In menu order, then the hotkeys' own.
enum class Command {
    Open,
    Exit, // the window's own: it closes, and its closing ends the player
    Play,
    Pause,
    Stop,
    AutoStart,
    Random,
    Repeat,
    PrintSongName,
    Format,
    AutoPrint,
    ClearList,
    Previous,
    Next,
    VolumeDown,
    VolumeUp,
};

struct MenuItem {
    std::optional<Command> command;                    // none: a separator
    const char* name;                                  // the item's name in the window
    const char* caption = nullptr;                     // with its access key after '&'
    std::optional<settings::Flag> mark = std::nullopt; // the option its check mark shows
};

struct Menu {
    const char* name;
    const char* caption;
    std::span<const MenuItem> items;
    bool onBar = true; // off the bar: the playlist's context menu
};

// The menus in the menu bar's order.
std::span<const Menu> menus();
// The item whose check mark shows the option.
const MenuItem& markedItem(settings::Flag flag);

enum class Key { F7, F8, F11, F12 };

struct Hotkey {
    Key key;
    Command command;
};

// Each works wherever the focus is in the window.
std::span<const Hotkey> hotkeys();

} // namespace player
