#include "qt/desktop_control.h"

std::unique_ptr<DesktopControl> startDesktopControl(player::Player&, const DesktopHooks&) {
    return std::make_unique<DesktopControl>();
}
