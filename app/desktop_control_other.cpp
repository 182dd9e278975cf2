#include "app/desktop_control.h"

std::unique_ptr<DesktopControl> startDesktopControl(playback::MediaPlayer&, const DesktopHooks&) {
    return std::make_unique<DesktopControl>();
}
