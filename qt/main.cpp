#include "qt/main_window.h"
#include "qt/platform.h"
#include "qt/russian.h"
#include "qt/single_instance.h"

#include <QApplication>
#include <QDir>

int main(int argc, char* argv[]) {
    preparePlatform();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tunelark"));
    QGuiApplication::setDesktopFileName(QStringLiteral("tunelark"));
    const QStringList files = filesNamed(QApplication::arguments().mid(1), QDir::currentPath());
    // A later start only hands its files over: no window, no settings, no song file.
    Claim claim = claimFirstCopy(files);
    if (!claim.first)
        return claim.handed ? 0 : 1;

    installRussian(app);
    Main window;
    window.show();
    closeOnEndRequests(window);
    window.openNamed(files);
    if (!claim.alone.isEmpty())
        window.tellLater(claim.alone);
    claim.first->onLine([&window] { return window.currentLine(); });
    claim.first->onOpen([&window](const QStringList& handed) {
        window.openNamed(handed);
        window.showNormal();
        window.raise();
        window.activateWindow();
    });
    const int status = app.exec();
    claim.first->onLine({}); // no one reads the line of a window that is gone
    return status;
}
