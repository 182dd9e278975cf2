// The program as main() starts it, with one file opened as the Open command opens it: for
// process_bench, which measures it from outside while it plays.
// Usage: play_file <media file> <program folder>
#include "qt/main_window.h"
#include "qt/platform.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    if (argc != 3)
        return 2;
    preparePlatform();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tunelark"));
    MainOptions options;
    options.programFolder = QString::fromLocal8Bit(argv[2]);
    options.ao = QStringLiteral("null");
    Main window(std::move(options));
    window.show();
    window.fOpenFile(QString::fromLocal8Bit(argv[1]));
    return app.exec();
}
