#include "qt/program_places.h"

#include "qt/qt_text.h"
#include "settings/places.h"

#include <QDir>
#include <QFileInfo>

player::Places programPlaces(const QString& programFolder, bool keepBeside) {
    const std::string program = settings::folderWithSeparator(coreText(programFolder));
    const QString folder = qtText(program);
    // An installed program's folder (~/.local/bin, say) is no place for settings; and where
    // the folder cannot be written the options would never be saved.
    const bool beside = (keepBeside || QFileInfo::exists(folder + QStringLiteral("mirc.ini"))) &&
                        QFileInfo(folder).isWritable();
    const std::string files =
        settings::filesFolder(program, beside, coreText(qEnvironmentVariable("XDG_CONFIG_HOME")),
                              coreText(QDir::homePath()));
    if (files != program)
        QDir().mkpath(qtText(files));
    return {program, files};
}

bool isBuildFolder(const QString& folder) {
    const QString built = QFileInfo(QStringLiteral(TUNELARK_BUILD_FOLDER)).canonicalFilePath();
    return !built.isEmpty() && QFileInfo(folder).canonicalFilePath() == built;
}
