// The real built program's start and end, from outside: a later start hands its files to the
// copy running and ends; the system's requests to end close the window as the user would.
// Each copy runs from a program folder of its own, on a private session bus.
#include "support/media.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

#include <csignal>

using namespace Qt::Literals::StringLiterals;
using testsupport::media;
using testsupport::waitUntil;

namespace {

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}

class Program : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(testsupport::mediaDir().isEmpty());
        ASSERT_TRUE(dir.isValid());
        folder = dir.filePath(u"program"_s);
        ASSERT_TRUE(QDir().mkpath(folder));
        ASSERT_TRUE(QFile::copy(QStringLiteral(TUNELARK_PROGRAM), folder + u"/tunelark"_s));

        // A bus of our own: no copy started by another test is the first here.
        bus.setProgram(u"dbus-daemon"_s);
        bus.setArguments({u"--session"_s, u"--nofork"_s, u"--print-address=1"_s});
        bus.start();
        ASSERT_TRUE(bus.waitForStarted(10000));
        ASSERT_TRUE(waitUntil([&] { return bus.canReadLine(); }, 10000)) << "no bus address";
        env = QProcessEnvironment::systemEnvironment();
        env.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, QString::fromUtf8(bus.readLine().trimmed()));
        env.remove(u"QT_QPA_PLATFORM"_s);
        env.insert(u"XDG_CONFIG_HOME"_s, dir.filePath(u"config"_s));
        env.insert(u"WEECHAT_HOME"_s, dir.path()); // no IRC client
        if (env.contains(u"ASAN_OPTIONS"_s))       // as in outside_test
            env.insert(u"ASAN_OPTIONS"_s,
                       env.value(u"ASAN_OPTIONS"_s) + u":fast_unwind_on_malloc=1:detect_leaks=0"_s);
    }

    void TearDown() override {
        for (QProcess* p : {&first, &bus}) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
    }

    // Starts the first copy with these options and waits until the desktop can see it.
    void startFirst(const QByteArray& options, const QStringList& args = {}) {
        ASSERT_TRUE(writeFile(folder + u"/mirc.ini"_s, options));
        first.setProcessEnvironment(env);
        first.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        first.setStandardOutputFile(QProcess::nullDevice());
        first.setWorkingDirectory(dir.path());
        first.start(folder + u"/tunelark"_s, args);
        ASSERT_TRUE(first.waitForStarted(10000));
        ASSERT_TRUE(waitUntil([&] { return playerctl({u"status"_s}) == u"Stopped"_s; }, 20000))
            << "the program never came on the bus";
    }

    std::optional<QString> playerctl(const QStringList& args) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(u"playerctl"_s, QStringList{u"-p"_s, u"tunelark"_s} + args);
        if (!p.waitForFinished(15000) || p.exitStatus() != QProcess::NormalExit ||
            p.exitCode() != 0)
            return std::nullopt;
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    }

    QTemporaryDir dir;
    QString folder;
    QProcess bus, first;
    QProcessEnvironment env;
};

} // namespace

TEST_F(Program, ALaterStartHandsItsFileToTheFirstAndEnds) {
    startFirst("[Tunelark]\r\nAutoStart=True\r\n", {media(u"beep0.ogg"_s)});
    const auto title = [&] { return playerctl({u"metadata"_s, u"title"_s}); };
    EXPECT_TRUE(waitUntil([&] { return title() == u"beep0"_s; })) << "its own file";
    const struct {
        QString argument;
        QString from; // the later start's current folder
        QString title;
    } cases[] = {
        {u"beep1.ogg"_s, testsupport::mediaDir(), u"beep1"_s},
        {QUrl::fromLocalFile(media(u"beep2.ogg"_s)).toString(QUrl::FullyEncoded), dir.path(),
         u"beep2"_s},
        {media(u"folder/a.ogg"_s), dir.path(), u"a"_s},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.argument.toStdString());
        QProcess later;
        later.setProcessEnvironment(env);
        later.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        later.setWorkingDirectory(c.from);
        later.start(folder + u"/tunelark"_s, {c.argument});
        ASSERT_TRUE(later.waitForFinished(20000)) << "the later start runs on";
        EXPECT_EQ(later.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(later.exitCode(), 0);
        EXPECT_TRUE(waitUntil([&] { return title() == c.title; }))
            << "the first copy plays " << title().value_or(u"<none>"_s).toStdString();
    }
    EXPECT_EQ(first.state(), QProcess::Running);
}

TEST_F(Program, EndRequestsSaveTheOptionsAndEndWell) {
    for (const int signal : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        startFirst("[Tunelark]\r\n");
        ASSERT_TRUE(playerctl({u"loop"_s, u"Playlist"_s}));
        ASSERT_TRUE(waitUntil([&] { return playerctl({u"loop"_s}) == u"Playlist"_s; }));
        ASSERT_EQ(::kill(pid_t(first.processId()), signal), 0);
        ASSERT_TRUE(first.waitForFinished(20000)) << "still running";
        EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(first.exitCode(), 0);
        EXPECT_EQ(readFile(folder + u"/mirc.ini"_s),
                  "[Tunelark]\r\nRepeat=True\r\nAutoStart=False\r\nRandom=False\r\n"
                  "AutoPrint=False\r\n");
    }
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
