#include "app/main_window.h"
#include "app/platform.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    preparePlatform();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tunelark"));
    Main window;
    window.show();
    return app.exec();
}
