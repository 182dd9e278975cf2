#include "qt/platform.h"

#include <QByteArray>
#include <QSocketNotifier>
#include <QWidget>

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int endSockets[2] = {-1, -1}; // the handler writes to [1], the event loop reads [0]

// A signal handler may do next to nothing: it wakes the event loop, which does the work.
void endRequested(int) {
    const int saved = errno;
    const char byte = 0;
    [[maybe_unused]] const ssize_t written = ::write(endSockets[1], &byte, 1);
    errno = saved;
}

} // namespace

void preparePlatform() {
    // The engine embeds its video through an X11 window id, so under Wayland Qt runs on
    // XWayland when there is one. Without any X server Qt keeps its own choice, and the engine
    // plays without a picture.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
}

void closeOnEndRequests(QWidget& window) {
    if (endSockets[0] >= 0 ||
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, endSockets) != 0)
        return;
    auto* notifier = new QSocketNotifier(endSockets[0], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
        char bytes[16];
        while (::read(endSockets[0], bytes, sizeof bytes) > 0) {
        }
        window.close();
    });
    struct sigaction action {};
    action.sa_handler = endRequested;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}
