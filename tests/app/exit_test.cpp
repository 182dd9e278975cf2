// Ending the program. Each run is a real process (this test started again as a child), because
// what goes wrong here shows only in how a process ends: a crash in the X library while the
// engine's video output closes, or a process that runs on after its window is gone.
#include "main_access.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileDialog>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <cstdio>

using testsupport::waitUntil;
using A = MainTestAccess;

namespace {

const QString kSaved = QStringLiteral(
    "[Tunelark]\r\nRepeat=True\r\nAutoStart=False\r\nRandom=False\r\nAutoPrint=False\r\n");

// The child: the program's window on the real display, driven to the moment of leaving, then
// left to end as the program does. Prints what the engine was last given to load.
int child(const QString& how, const QString& folder, const QString& file) {
    Main m(testsupport::onScreenOptions(folder));
    m.show();
    A::action(m, "mnRepeat")->trigger(); // something to save

    QTimer poll;
    if (how == u"after-video") {
        int playing = 0;
        QObject::connect(&A::player(m), &playback::MediaPlayer::PlayStateChange,
                         [&](int s) { playing += s == playback::psPlaying; });
        m.fOpenFile(file);
        A::action(m, "mnPlay")->trigger();
        if (!waitUntil(
                [&] {
                    return playing > 0 &&
                           testsupport::colours(testsupport::grabScreen(A::playerArea(m))) > 20;
                },
                20000)) {
            std::fputs("the video never showed\n", stderr);
            return 2;
        }
        QTimer::singleShot(0, [&] { A::action(m, "mnExit")->trigger(); });
    } else {
        // Leaves while the open dialog is up, with a file picked in it.
        poll.callOnTimeout([&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* dialog = qobject_cast<QFileDialog*>(w);
                if (!dialog || !dialog->isVisible())
                    continue;
                poll.stop();
                dialog->selectFile(file);
                if (how == u"exit-command") {
                    A::action(m, "mnExit")->trigger();
                } else if (how == u"close-box") {
                    m.close();
                } else { // chosen in the very moment the window closes
                    static_cast<QDialog*>(dialog)->accept();
                    m.close();
                }
                return;
            }
        });
        poll.start(20);
        QTimer::singleShot(0, [&] { A::action(m, "mnOpen")->trigger(); });
    }
    const int code = QApplication::exec();
    QTextStream(stdout) << "loaded:" << A::player(m).URL() << '\n';
    return code;
}

struct Ending {
    bool ended = false;
    QProcess::ExitStatus status = QProcess::CrashExit;
    int code = -1;
    QString out, err;
};

Ending runChild(const QString& how, const QString& folder, const QString& file) {
    QProcess p;
    p.start(QCoreApplication::applicationFilePath(),
            {QStringLiteral("--child"), how, folder, file});
    Ending e;
    e.ended = p.waitForFinished(30000);
    if (!e.ended) {
        p.kill();
        p.waitForFinished(5000);
    }
    e.status = p.exitStatus();
    e.code = p.exitCode();
    e.out = QString::fromUtf8(p.readAllStandardOutput());
    e.err = QString::fromUtf8(p.readAllStandardError());
    return e;
}

QString readText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

} // namespace

TEST(Exit, AfterAVideoEndsCleanlyEveryTime) {
    const QString video = testsupport::media(QStringLiteral("short.mkv"));
    ASSERT_FALSE(video.isEmpty());
    for (int run = 1; run <= 10; ++run) {
        SCOPED_TRACE(run);
        QTemporaryDir folder;
        const Ending e = runChild(QStringLiteral("after-video"), folder.path(), video);
        ASSERT_TRUE(e.ended) << "still running";
        ASSERT_EQ(e.status, QProcess::NormalExit) << e.err.toStdString();
        ASSERT_EQ(e.code, 0) << e.err.toStdString();
        EXPECT_EQ(readText(folder.filePath(QStringLiteral("mirc.ini"))), kSaved);
    }
}

TEST(Exit, LeavingWhileTheOpenDialogIsUpEndsWithoutLoadingItsChoice) {
    const QString song = testsupport::media(QStringLiteral("tagged.mp3"));
    ASSERT_FALSE(song.isEmpty());
    for (const char* how : {"exit-command", "close-box", "chosen-as-the-window-closes"}) {
        SCOPED_TRACE(how);
        QTemporaryDir folder;
        const Ending e = runChild(QLatin1String(how), folder.path(), song);
        ASSERT_TRUE(e.ended) << "still running after the window closed";
        EXPECT_EQ(e.status, QProcess::NormalExit) << e.err.toStdString();
        EXPECT_EQ(e.code, 0) << e.err.toStdString();
        EXPECT_EQ(e.out, QStringLiteral("loaded:\n"));
        EXPECT_EQ(readText(folder.filePath(QStringLiteral("mirc.ini"))), kSaved);
    }
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() == 5 && args[1] == u"--child")
        return child(args[2], args[3], args[4]);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
