// The program as main() starts it, without sound or picture (as the engine alone is measured),
// taking the files a later start hands over: for playlist_load, which measures it from outside.
// Usage: list_player <program folder>
#include "qt/main_window.h"
#include "qt/platform.h"
#include "qt/single_instance.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    if (argc != 2)
        return 2;
    preparePlatform();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tunelark"));
    Claim claim = claimFirstCopy({});
    if (!claim.first)
        return 1;
    MainOptions options;
    options.programFolder = QString::fromLocal8Bit(argv[1]);
    options.ao = options.vo = QStringLiteral("null");
    Main window(std::move(options));
    window.show();
    claim.first->onOpen([&window](const QStringList& files) { window.openNamed(files); });
    claim.first->onRows([&window] { return window.listRows(); });
    const int status = app.exec();
    claim.first->onRows({}); // the window goes first
    return status;
}
