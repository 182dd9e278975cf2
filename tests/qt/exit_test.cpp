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
#include <string>

using testsupport::waitUntil;
using A = MainTestAccess;
using namespace Qt::Literals::StringLiterals;

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
        testsupport::EngineTap tap(A::engine(m));
        int playing = 0;
        tap.on = [&](playback::PlayState s) { playing += s == playback::PlayState::Playing; };
        m.fOpenFile(file);
        A::action(m, "mnPlay")->trigger();
        auto pictureShown = [&] {
            return testsupport::colours(testsupport::grabScreen(A::picture(m))) > 20;
        };
        if (!waitUntil([&] { return playing > 0 && pictureShown(); }, 20000)) {
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
    QTextStream(stdout) << "loaded:" << QString::fromStdString(A::engine(m).URL()) << '\n';
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

TEST(Exit, EndsCleanlyAndLoadsNothingMore) {
    ASSERT_FALSE(testsupport::mediaDir().isEmpty());
    const QString video = testsupport::media(QStringLiteral("short.mkv"));
    const QString song = testsupport::media(QStringLiteral("tagged.mp3"));
    const struct {
        const char* how;
        QString file;
        int runs;
        QString loaded; // what the engine was last given
    } cases[] = {
        {"after-video", video, 10, video}, // the crash came in 3 of 4 runs
        {"exit-command", song, 1, {}},
        {"close-box", song, 1, {}},
        {"chosen-as-the-window-closes", song, 1, {}},
    };
    for (const auto& c : cases) {
        for (int run = 1; run <= c.runs; ++run) {
            SCOPED_TRACE(std::string(c.how) + " #" + std::to_string(run));
            QTemporaryDir folder;
            const Ending e = runChild(QLatin1String(c.how), folder.path(), c.file);
            ASSERT_TRUE(e.ended) << "still running after the window closed";
            ASSERT_EQ(e.status, QProcess::NormalExit) << e.err.toStdString();
            ASSERT_EQ(e.code, 0) << e.err.toStdString();
            EXPECT_EQ(e.out, u"loaded:"_s + c.loaded + u'\n');
            EXPECT_EQ(readText(folder.filePath(QStringLiteral("mirc.ini"))), kSaved);
        }
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
