#pragma once

// The desktop's media controls (media keys, panels, phone remotes, playerctl): on Linux the
// freedesktop MPRIS2 interface on the session bus; elsewhere nothing.

#include "player/player.h"

#include <memory>

class QAction;
class QWidget;

// What the desktop reaches in the window beside the player: raising it, and Exit, which goes
// through its menu item so that leaving saves the options as a click does.
struct DesktopHooks {
    QWidget* window = nullptr;
    QAction* exit = nullptr; // mnExit
};

class DesktopControl {
public:
    virtual ~DesktopControl() = default;
};

// Offers the player to the desktop for as long as the result lives. Without a session bus, or
// on a system without one, the player simply goes unseen.
std::unique_ptr<DesktopControl> startDesktopControl(player::Player& player,
                                                    const DesktopHooks& hooks);
