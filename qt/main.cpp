#include "qt/main_window.h"
#include "qt/platform.h"
#include "qt/russian.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    preparePlatform();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tunelark"));
    QGuiApplication::setDesktopFileName(QStringLiteral("tunelark"));
    installRussian(app);
    Main window;
    window.show();
    closeOnEndRequests(window);
    return app.exec();
}
