#include "qt/program_places.h"

#include "qt/qt_text.h"
#include "settings/places.h"

#include <QDir>
#include <QFileInfo>

player::Places programPlaces(const QString& programFolder) {
    const std::string program = settings::folderWithSeparator(coreText(programFolder));
    // Where the folder cannot be written the options would never be saved.
    const std::string files = settings::filesFolder(
        program, QFileInfo(qtText(program)).isWritable(),
        coreText(qEnvironmentVariable("XDG_CONFIG_HOME")), coreText(QDir::homePath()));
    if (files != program)
        QDir().mkpath(qtText(files));
    return {program, files};
}
