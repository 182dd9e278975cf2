#include "qt/platform.h"

#include <QByteArray>

void preparePlatform() {
    // The engine embeds its video through an X11 window id, so under Wayland Qt runs on
    // XWayland when there is one. Without any X server Qt keeps its own choice, and the engine
    // plays without a picture.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
}
