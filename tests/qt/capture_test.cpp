// A start of play through the whole window with the real engine: the announcement, the
// now-playing fields and the song file; the box's own event loop while more tracks start; and
// the delay's timer. (The rules of each are tested at their own level: tests/announce.)
#include "main_access.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

using testsupport::media;
using testsupport::waitUntil;
using A = MainTestAccess;
using namespace playback;

namespace {

class Capture : public ::testing::Test {
protected:
    void open(const QByteArray& ini) {
        ASSERT_FALSE(testsupport::mediaDir().isEmpty());
        QFile file(folder.filePath(QStringLiteral("mirc.ini")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(ini) == ini.size());
        file.close();
        m = testsupport::headlessMain(folder.path(), log);
        tap = std::make_unique<testsupport::EngineTap>(A::engine(*m));
    }
    QStringList fields() {
        QStringList out;
        for (int i = 0; i < 5; ++i)
            out << A::text(*m, i)->text();
        return out;
    }
    QByteArray songFile() {
        QFile f(QString::fromStdString(A::player(*m).songFile()));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
    }

    QTemporaryDir folder;
    std::shared_ptr<testsupport::RecordingLink::Log> log =
        std::make_shared<testsupport::RecordingLink::Log>();
    std::unique_ptr<Main> m;
    std::unique_ptr<testsupport::EngineTap> tap;
};

const QString kTagged = QStringLiteral("/me слушает Ария - Беспечный ангел [00:05]");

} // namespace

TEST_F(Capture, TrackStartAnnouncesFillsTheFieldsAndWritesTheSongFile) {
    open("[Tunelark]\r\nAutoStart=True\r\nAutoPrint=True\r\n");
    m->fOpenFile(media(QStringLiteral("tagged.mp3")));
    ASSERT_TRUE(tap->waitFor(PlayState::Playing));
    EXPECT_EQ(log->lines, QStringList{kTagged});
    EXPECT_EQ(fields(), (QStringList{media(QStringLiteral("tagged.mp3")), QStringLiteral("Ария"),
                                     QStringLiteral("Беспечный ангел"), QStringLiteral("00:05"),
                                     QStringLiteral("128000")}));
    EXPECT_EQ(songFile(),
              QStringLiteral("Ария\r\nБеспечный ангел\r\n00:05\r\n128000\r\n").toUtf8());

    // Resuming after a pause is a start too: announced and written again.
    QFile::remove(QString::fromStdString(A::player(*m).songFile()));
    A::action(*m, "mnPause")->trigger();
    ASSERT_TRUE(tap->waitFor(PlayState::Paused));
    A::action(*m, "mnPlay")->trigger();
    ASSERT_TRUE(tap->waitFor(PlayState::Playing, 2));
    EXPECT_EQ(log->lines, (QStringList{kTagged, kTagged}));
    EXPECT_NE(songFile(), "<none>");
}

// The first track's box stays up while two more tracks start and the last is stopped: the fields
// and the song file follow each start at once, and when the box closes nothing more is told,
// whether the client is still missing or back.
class StartsWhileTheBoxIsUp : public Capture, public ::testing::WithParamInterface<bool> {};

TEST_P(StartsWhileTheBoxIsUp, AreShownAtOnceAndNotToldOnceStopped) {
    const bool clientBack = GetParam();
    open("[Tunelark]\r\nAutoStart=True\r\nAutoPrint=True\r\n");
    log->accept = false;
    const QString second = QStringLiteral("second");
    const QString third = QStringLiteral("untagged");
    int boxes = 0, step = 0;
    qsizetype stoppedBefore = 0;
    QString shownUnderTheBox;
    QByteArray writtenUnderTheBox;
    const QDeadlineTimer deadline(20000);
    QTimer answerer;
    answerer.callOnTimeout([&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        auto& engine = A::engine(*m);
        if (boxes == 0 && !deadline.hasExpired()) {
            if (step == 0) {
                engine.playItem(engine.entries()[1]);
                step = 1;
            } else if (step == 1 && tap->started.contains(second)) {
                engine.playItem(engine.entries()[2]);
                step = 2;
            } else if (step == 2 && tap->started.contains(third)) {
                shownUnderTheBox = A::text(*m, 2)->text();
                writtenUnderTheBox = songFile();
                stoppedBefore = tap->count(PlayState::Stopped);
                engine.stop();
                step = 3;
            }
            if (step < 3 || tap->count(PlayState::Stopped) == stoppedBefore)
                return;
        }
        ++boxes;
        log->accept = clientBack;
        box->accept();
    });
    answerer.start(20);
    m->fOpenFile(media(QStringLiteral("list.m3u")));

    ASSERT_TRUE(waitUntil([&] { return boxes == 1; }));
    EXPECT_EQ(shownUnderTheBox, QStringLiteral("Third"));
    EXPECT_TRUE(writtenUnderTheBox.startsWith("\r\nThird\r\n00:03\r\n"))
        << writtenUnderTheBox.toStdString();
    // The box's own loop has returned by now, and its line is done: stopped before the box
    // closed, nothing more is told, and so no second box comes.
    EXPECT_EQ(log->lines, QStringList{kTagged});
    EXPECT_EQ(boxes, 1);
}

INSTANTIATE_TEST_SUITE_P(ClientMissingOrBack, StartsWhileTheBoxIsUp, ::testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "client_back"
                                                           : "client_still_missing");
                         });

TEST_F(Capture, TheDelaysTimerBringsTheLine) {
    open("[Tunelark]\r\nAutoStart=True\r\nAutoPrint=True\r\nAnnounceDelay=1\r\n");
    QElapsedTimer sinceStart;
    tap->on = [&](PlayState s) {
        if (s == PlayState::Playing && !sinceStart.isValid())
            sinceStart.start();
    };
    m->fOpenFile(media(QStringLiteral("tagged.mp3")));
    ASSERT_TRUE(tap->waitFor(PlayState::Playing));
    EXPECT_EQ(A::text(*m, 1)->text(), QStringLiteral("Ария"));
    EXPECT_TRUE(log->lines.isEmpty());
    EXPECT_TRUE(A::announcementWaits(*m));
    ASSERT_TRUE(waitUntil([&] { return !log->lines.isEmpty(); }));
    EXPECT_GE(sinceStart.elapsed(), 900);
    EXPECT_EQ(log->lines, QStringList{kTagged});
    EXPECT_FALSE(A::announcementWaits(*m));
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
