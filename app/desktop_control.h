#pragma once

// The desktop's media controls (media keys, panels, phone remotes, playerctl): on Linux the
// freedesktop MPRIS2 interface on the session bus; elsewhere nothing.

#include "playback/media_player.h"

#include <QString>

#include <functional>
#include <memory>

class QAction;
class QWidget;

// What the desktop reaches in the window. The options and Exit go through their menu items, so
// the check mark, the engine and what shutdown saves move together, as with a click.
struct DesktopHooks {
    QWidget* window = nullptr;
    QAction* repeat = nullptr;                // mnRepeat
    QAction* random = nullptr;                // mnRandom
    QAction* exit = nullptr;                  // mnExit
    std::function<void(const QString&)> open; // fOpenFile
};

class DesktopControl {
public:
    virtual ~DesktopControl() = default;
};

// Offers the player to the desktop for as long as the result lives. Without a session bus, or
// on a system without one, the player simply goes unseen.
std::unique_ptr<DesktopControl> startDesktopControl(playback::MediaPlayer& player,
                                                    const DesktopHooks& hooks);
