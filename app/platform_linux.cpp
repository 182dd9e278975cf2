#include "app/platform.h"

#include <QByteArray>

void preparePlatform() {
    // The engine embeds its video through an X11 window id, so under Wayland Qt runs on XWayland.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
}
