#include "qt/russian.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

bool installRussian(QCoreApplication& app) {
    auto* translator = new QTranslator(&app);
    // Where Qt is installed, or beside the program as a deployment puts them.
    const QString places[] = {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
                              QCoreApplication::applicationDirPath() +
                                  QStringLiteral("/translations")};
    for (const QString& place : places) {
        if (translator->load(QStringLiteral("qtbase_ru"), place))
            return QCoreApplication::installTranslator(translator);
    }
    delete translator;
    return false;
}
