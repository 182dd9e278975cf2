// The real program from outside, in a folder of its own on a private session bus: one copy at a
// time, the system's requests to end, and where the options are kept.
#include "qt/program_places.h"
#include "support/media.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

#include <csignal>
#include <cstdio>

using namespace Qt::Literals::StringLiterals;
using testsupport::media;
using testsupport::waitUntil;

namespace {

struct Program : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(QFile::copy(QStringLiteral(TUNELARK_PROGRAM), exe));
        bus.start(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address=1"_s});
        ASSERT_TRUE(waitUntil([&] { return bus.canReadLine(); }, 10000)) << "no bus";
        env.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, QString::fromUtf8(bus.readLine().trimmed()));
        env.insert(u"XDG_CONFIG_HOME"_s, dir.filePath(u"config"_s));
        env.insert(u"WEECHAT_HOME"_s, dir.path()); // no IRC client
        env.insert(u"ASAN_OPTIONS"_s,              // as in outside_test
                   env.value(u"ASAN_OPTIONS"_s) + u":fast_unwind_on_malloc=1:detect_leaks=0"_s);
    }
    void TearDown() override {
        for (QProcess* p : {&first, &bus}) {
            p->kill();
            p->waitForFinished(5000);
        }
    }
    void start(QProcess& p, const QString& program, const QStringList& args, QString from = {}) {
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(from.isEmpty() ? dir.path() : from);
        p.start(program, args);
    }
    // The first copy, once the desktop sees it. ini null: none beside it, as once installed.
    void startFirst(const QByteArray& ini, const QStringList& args = {}) {
        QFile f(dir.filePath(u"mirc.ini"_s));
        ASSERT_TRUE(ini.isNull() ? !f.exists() || f.remove()
                                 : f.open(QIODevice::WriteOnly) && f.write(ini) == ini.size());
        f.close();
        start(first, exe, args);
        ASSERT_TRUE(waitUntil([&] { return !playerctl({u"status"_s}).isEmpty(); }, 20000));
    }
    QString playerctl(const QStringList& args) {
        QProcess p;
        start(p, u"playerctl"_s, QStringList{u"-p"_s, u"tunelark"_s} + args);
        return p.waitForFinished(15000) ? QString::fromUtf8(p.readAllStandardOutput()).trimmed()
                                        : QString();
    }

    QTemporaryDir dir;
    const QString exe = dir.filePath(u"tunelark"_s);
    QProcess bus, first;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
};

} // namespace

TEST_F(Program, ALaterStartHandsItsFileToTheFirstAndEnds) {
    startFirst("[Tunelark]\r\nAutoStart=True\r\n", {media(u"beep0.ogg"_s)});
    // The song file keeps each title once its short track is over, as the desktop's view does
    // not: a loaded machine may look only after that.
    const auto title = [&] {
        QFile song(dir.filePath(u"SongName.txt"_s));
        return song.open(QIODevice::ReadOnly)
                   ? QString::fromUtf8(song.readAll()).section(u"\r\n"_s, 1, 1)
                   : QString();
    };
    EXPECT_TRUE(waitUntil([&] { return title() == u"beep0"_s; })) << "its own file";
    const struct {
        QString argument, from, title;
    } cases[] = {
        {u"beep1.ogg"_s, testsupport::mediaDir(), u"beep1"_s},
        {QUrl::fromLocalFile(media(u"beep2.ogg"_s)).toString(), {}, u"beep2"_s},
        {media(u"folder/a.ogg"_s), {}, u"a"_s},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.argument.toStdString());
        QProcess later;
        start(later, exe, {c.argument}, c.from);
        ASSERT_TRUE(later.waitForFinished(20000)) << "the later start runs on";
        EXPECT_TRUE(later.exitStatus() == QProcess::NormalExit && later.exitCode() == 0);
        EXPECT_TRUE(waitUntil([&] { return title() == c.title; })) << title().toStdString();
    }
}

// A first copy that is stopped answers nothing: a later start soon gives up on it, says why, and
// plays its file itself.
TEST_F(Program, ALaterStartBesideAStoppedFirstCopyPlaysItsFileItself) {
    startFirst("[Tunelark]\r\nAutoStart=True\r\n");
    ASSERT_EQ(::kill(pid_t(first.processId()), SIGSTOP), 0);
    QProcess later;
    QElapsedTimer since;
    since.start();
    start(later, exe, {media(u"almost-minute.ogg"_s)});
    const auto said = [&] { return later.readAllStandardError(); };
    QByteArray stderrText;
    EXPECT_TRUE(waitUntil([&] {
        stderrText += said();
        return stderrText.contains("does not answer");
    })) << stderrText.toStdString();
    std::printf("gave up on the stopped copy after %lld ms\n", since.elapsed());
    const auto song = [&] {
        QFile f(dir.filePath(u"SongName.txt"_s));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    EXPECT_TRUE(waitUntil([&] { return song().contains("almost-minute"); }))
        << song().toStdString();
    EXPECT_EQ(later.state(), QProcess::Running) << "it plays on";
    ::kill(pid_t(first.processId()), SIGCONT);
    later.kill();
    later.waitForFinished(5000);
}

TEST_F(Program, EndRequestsSaveTheOptionsWhereTheyAreKept) {
    const struct {
        int signal;
        QByteArray ini;
        QString kept;
    } cases[] = {
        {SIGTERM, "[Tunelark]\r\n", dir.filePath(u"mirc.ini"_s)},
        {SIGHUP, {}, dir.filePath(u"config/tunelark/mirc.ini"_s)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.signal);
        startFirst(c.ini);
        playerctl({u"loop"_s, u"Playlist"_s});
        ASSERT_TRUE(waitUntil([&] { return playerctl({u"loop"_s}) == u"Playlist"_s; }));
        ASSERT_EQ(::kill(pid_t(first.processId()), c.signal), 0);
        ASSERT_TRUE(first.waitForFinished(20000)) << "still running";
        EXPECT_TRUE(first.exitStatus() == QProcess::NormalExit && first.exitCode() == 0);
        QFile kept(c.kept);
        EXPECT_TRUE(kept.open(QIODevice::ReadOnly) && kept.readAll().contains("Repeat=True"))
            << "not saved in " << c.kept.toStdString();
    }
}

// Run from where it was built, the program keeps its files there whatever the folder holds.
TEST(Places, KnowsTheBuildFolder) {
    EXPECT_TRUE(isBuildFolder(QFileInfo(QStringLiteral(TUNELARK_PROGRAM)).path()));
    EXPECT_FALSE(isBuildFolder(QCoreApplication::applicationDirPath()));
}

// A mirc.ini beside the program whose options cannot be kept there: they go to the user's
// configuration folder, with the reason for the player to tell, and what can be read is read.
TEST(Places, KeepTheOptionsElsewhereWhenTheirFileCannotTakeThem) {
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", dir.filePath(u"config"_s).toUtf8());
    const std::string config = dir.filePath(u"config/tunelark/"_s).toStdString();
    const auto folder = [&](const QString& name) {
        QDir().mkpath(dir.filePath(name));
        return dir.filePath(name) + u'/';
    };
    const QString plain = folder(u"plain"_s), big = folder(u"big-endian"_s),
                  nowhere = folder(u"nowhere"_s), nothing = folder(u"nothing"_s);
    QFile(plain + u"mirc.ini"_s).open(QIODevice::WriteOnly);
    QFile bigEndian(big + u"mirc.ini"_s);
    ASSERT_TRUE(bigEndian.open(QIODevice::WriteOnly) &&
                bigEndian.write(QByteArray("\xFE\xFF\0[", 4)) == 4);
    bigEndian.close();
    ASSERT_TRUE(QFile::link(u"gone/mirc.ini"_s, nowhere + u"mirc.ini"_s));
    const struct {
        QString folder;
        std::string files, why, readFrom;
    } cases[] = {
        {plain, plain.toStdString(), {}, {}},
        {nothing, config, {}, {}}, // installed: nothing beside it to keep
        {big, config, "он в кодировке UTF-16BE, а её Tunelark не читает и не пишет", {}},
        {nowhere, config, "это ссылка на gone/mirc.ini, а такого файла нет", {}},
    };
    for (const auto& c : cases) {
        const player::Places places = programPlaces(c.folder, false);
        EXPECT_EQ(places.filesFolder, c.files) << c.folder.toStdString();
        EXPECT_EQ(places.whyNotBeside, c.why) << c.folder.toStdString();
        EXPECT_EQ(places.optionsBeside, c.readFrom) << c.folder.toStdString();
    }
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
