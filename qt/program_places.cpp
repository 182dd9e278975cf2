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
    const settings::SettingsFile ini = settings::checkSettingsFile(program + "mirc.ini");
    const std::string why =
        !QFileInfo(folder).isWritable() ? "папку нельзя изменить" : ini.whyNotKept.value_or("");
    const std::string files = settings::filesFolder(
        program, (keepBeside || ini.present) && why.empty(),
        coreText(qEnvironmentVariable("XDG_CONFIG_HOME")), coreText(QDir::homePath()));
    if (files == program)
        return {program, files};
    QDir().mkpath(qtText(files));
    // Said only where the user keeps options beside the program; read from there still.
    return {program, files, ini.present ? why : std::string(),
            ini.readable ? program : std::string()};
}

bool isBuildFolder(const QString& folder) {
    const QString built = QFileInfo(QStringLiteral(TUNELARK_BUILD_FOLDER)).canonicalFilePath();
    return !built.isEmpty() && QFileInfo(folder).canonicalFilePath() == built;
}
