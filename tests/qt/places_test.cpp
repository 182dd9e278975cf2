// Where the Linux program keeps its files, from what its folder holds.
#include "qt/program_places.h"
#include "support/scoped_env.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace Qt::Literals::StringLiterals;

TEST(Places, BesideTheProgramOnlyWhereItsFolderKeepsThem) {
    const struct {
        const char* what;
        bool holdsSettings;
        bool keepBeside;
        bool beside;
    } cases[] = {
        {"the IRC client's folder", true, false, true},
        {"the build folder", false, true, true},
        {"an installed program's folder", false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        const QString program = dir.filePath(u"bin"_s), config = dir.filePath(u"config"_s);
        ASSERT_TRUE(QDir().mkpath(program));
        if (c.holdsSettings) {
            QFile ini(program + u"/mirc.ini"_s);
            ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        }
        testsupport::ScopedEnv xdg("XDG_CONFIG_HOME", QFile::encodeName(config));
        const player::Places places = programPlaces(program, c.keepBeside);
        EXPECT_EQ(places.programFolder, (program + u'/').toStdString());
        const QString files = c.beside ? program + u'/' : config + u"/tunelark/"_s;
        EXPECT_EQ(places.filesFolder, files.toStdString());
        EXPECT_TRUE(QFileInfo(files).isDir());
    }
}

TEST(Places, KnowsTheBuildFolder) {
    EXPECT_TRUE(isBuildFolder(QFileInfo(QStringLiteral(TUNELARK_PROGRAM)).path()));
    QTemporaryDir elsewhere;
    EXPECT_FALSE(isBuildFolder(elsewhere.path()));
}
