// The test run's fixture: makes the shared test media once, before any test that reads it.
// Usage: make_media <folder>. The folder appears whole or not at all.
#include "support/media.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_media <folder>\n");
        return 2;
    }
    const QString folder = QDir::cleanPath(QString::fromLocal8Bit(argv[1]));
    const QString building = folder + QStringLiteral(".new");
    QDir(building).removeRecursively();
    QDir(folder).removeRecursively();
    if (!testsupport::makeMedia(building) || !QDir().rename(building, folder)) {
        std::fprintf(stderr, "could not make the test media with ffmpeg in %s\n", argv[1]);
        return 1;
    }
    return 0;
}
