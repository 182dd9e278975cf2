// What happens when a track starts: the announcement, the now-playing fields and the song
// file; and the commands that announce by hand and edit the format.
#include "main_access.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

using testsupport::media;
using testsupport::waitUntil;
using A = MainTestAccess;
using namespace playback;

namespace {

class Capture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(testsupport::mediaDir().isEmpty());
        if (!ini().isEmpty()) {
            QFile file(folder.filePath(QStringLiteral("mirc.ini")));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(ini()) == ini().size());
        }
        m = testsupport::headlessMain(folder.path(), log);
        QObject::connect(&A::player(*m), &MediaPlayer::PlayStateChange,
                         [this](int s) { states.push_back(s); });
        A::action(*m, "mnAutoStart")->trigger();
    }

    virtual QByteArray ini() const { return {}; } // mirc.ini as the window starts

    bool waitFor(int s, int times = 1) {
        return waitUntil([&] { return std::count(states.begin(), states.end(), s) >= times; });
    }
    QStringList fields() {
        QStringList out;
        for (int i = 0; i < 5; ++i)
            out << A::text(*m, i)->text();
        return out;
    }
    QByteArray songFile() {
        QFile f(m->FN);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
    }

    QTemporaryDir folder;
    std::shared_ptr<testsupport::RecordingLink::Log> log =
        std::make_shared<testsupport::RecordingLink::Log>();
    std::unique_ptr<Main> m;
    std::vector<int> states;
};

const QString kTagged = QStringLiteral("/me слушает Ария - Беспечный ангел [00:05]");

} // namespace

TEST_F(Capture, TrackStartAnnouncesFillsTheFieldsAndWritesTheSongFile) {
    A::action(*m, "mnAutoPrint")->trigger();
    m->fOpenFile(media(QStringLiteral("tagged.mp3")));
    ASSERT_TRUE(waitFor(psPlaying));
    EXPECT_EQ(log->lines, QStringList{kTagged});
    EXPECT_EQ(m->SL, kTagged);
    EXPECT_EQ(fields(), (QStringList{media(QStringLiteral("tagged.mp3")), QStringLiteral("Ария"),
                                     QStringLiteral("Беспечный ангел"), QStringLiteral("00:05"),
                                     QStringLiteral("128000")}));
    EXPECT_EQ(songFile(),
              QStringLiteral("Ария\r\nБеспечный ангел\r\n00:05\r\n128000\r\n").toUtf8());

    // Resuming after a pause is a start too: announced and written again.
    QFile::remove(m->FN);
    A::action(*m, "mnPause")->trigger();
    ASSERT_TRUE(waitFor(psPaused));
    A::action(*m, "mnPlay")->trigger();
    ASSERT_TRUE(waitFor(psPlaying, 2));
    EXPECT_EQ(log->lines, (QStringList{kTagged, kTagged}));
    EXPECT_TRUE(QFile::exists(m->FN));
}

TEST_F(Capture, WithoutAutomaticAnnouncementOnlyFieldsAndFileChange) {
    m->fOpenFile(media(QStringLiteral("untagged.flac")));
    ASSERT_TRUE(waitFor(psPlaying));
    EXPECT_TRUE(log->lines.isEmpty());
    EXPECT_EQ(A::text(*m, 2)->text(), QStringLiteral("untagged"));
    // No artist and no bitrate: the first and fourth lines are empty.
    EXPECT_EQ(songFile(), QByteArray("\r\nuntagged\r\n00:03\r\n\r\n"));

    A::action(*m, "mnPrintSongName")->trigger();
    EXPECT_EQ(log->lines, QStringList{QStringLiteral("/me слушает  - untagged [00:03]")});
}

TEST_F(Capture, OtherStatesChangeNothing) {
    A::action(*m, "mnAutoPrint")->trigger();
    A::action(*m, "mnAutoStart")->trigger(); // off again: loaded, not started
    m->fOpenFile(media(QStringLiteral("tagged.mp3")));
    ASSERT_TRUE(waitFor(psReady));
    for (int state : {int(psStopped), int(psPaused), int(psMediaEnded), int(psTransitioning),
                      int(psReady), 6, 0})
        A::playState(*m, state);
    EXPECT_TRUE(log->lines.isEmpty());
    EXPECT_EQ(fields(), QStringList(5, QString()));
    EXPECT_FALSE(QFile::exists(m->FN));
}

TEST_F(Capture, MissingClientIsReportedAndPlayGoesOn) {
    log->accept = false;
    testsupport::ModalAnswerer answerer;
    A::action(*m, "mnAutoPrint")->trigger();
    m->fOpenFile(media(QStringLiteral("tagged.mp3")));
    ASSERT_TRUE(waitFor(psPlaying));
    ASSERT_TRUE(waitUntil([&] { return A::text(*m, 1)->text() == QStringLiteral("Ария"); }));
    EXPECT_EQ(answerer.seen, QStringList{QStringLiteral("Tunelark|mIRC не найден!")});
    EXPECT_EQ(log->lines.size(), 1); // no retry
    EXPECT_EQ(songFile(),
              QStringLiteral("Ария\r\nБеспечный ангел\r\n00:05\r\n128000\r\n").toUtf8());
}

// The first track's box stays up while two more tracks start and the last is stopped; when it
// closes, the client is still missing, or back.
class StartsWhileTheBoxIsUp : public Capture, public ::testing::WithParamInterface<bool> {};

TEST_P(StartsWhileTheBoxIsUp, OnlyTheLatestIsAnnouncedAndShown) {
    const bool clientBack = GetParam();
    log->accept = false;
    QStringList started; // reported here after the window's own handler has run
    QObject::connect(&A::player(*m), &MediaPlayer::PlayStateChange, [&](int s) {
        if (s == psPlaying)
            started << A::player(*m).startedMedia().sourceURL;
    });
    const QString second = media(QStringLiteral("sub/second.ogg"));
    const QString third = media(QStringLiteral("untagged.ogg"));
    int boxes = 0, step = 0;
    auto stopped = [&] { return std::count(states.begin(), states.end(), psStopped); };
    qsizetype stoppedBefore = 0;
    const QDeadlineTimer deadline(20000);
    QTimer answerer;
    answerer.callOnTimeout([&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        auto& player = A::player(*m);
        if (boxes == 0 && !deadline.hasExpired()) {
            auto& list = player.currentPlaylist;
            if (step == 0) {
                player.controls.playItem(*list.Item(1));
                step = 1;
            } else if (step == 1 && started.contains(second)) {
                player.controls.playItem(*list.Item(2));
                step = 2;
            } else if (step == 2 && started.contains(third)) {
                stoppedBefore = stopped();
                player.controls.stop();
                step = 3;
            }
            if (step < 3 || stopped() == stoppedBefore)
                return;
        }
        ++boxes;
        log->accept = clientBack;
        box->accept();
    });
    answerer.start(20);
    A::action(*m, "mnAutoPrint")->trigger();
    m->fOpenFile(media(QStringLiteral("list.m3u")));

    ASSERT_TRUE(waitUntil([&] { return A::text(*m, 0)->text() == third; }));
    EXPECT_EQ(log->lines, (QStringList{kTagged, QStringLiteral("/me слушает  - Third [00:03]")}));
    EXPECT_EQ(boxes, clientBack ? 1 : 2);
    EXPECT_EQ(A::text(*m, 2)->text(), QStringLiteral("Third"));
    EXPECT_TRUE(songFile().startsWith("\r\nThird\r\n00:03\r\n")) << songFile().toStdString();
}

INSTANTIATE_TEST_SUITE_P(ClientMissingOrBack, StartsWhileTheBoxIsUp, ::testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "client_back"
                                                           : "client_still_missing");
                         });

TEST_F(Capture, NothingLoadedSendsNothing) {
    testsupport::ModalAnswerer answerer;
    A::action(*m, "mnPrintSongName")->trigger();
    EXPECT_TRUE(log->lines.isEmpty());
    EXPECT_TRUE(answerer.seen.isEmpty());
}

TEST_F(Capture, FormatEditorKeepsOrStoresTheAnswer) {
    testsupport::ModalAnswerer answerer;
    const QString before = m->Format;
    A::action(*m, "mnFormat")->trigger(); // cancelled
    EXPECT_EQ(m->Format, before);
    EXPECT_FALSE(QFile::exists(m->fnINI));

    answerer.typeIn = QStringLiteral("!артист !- !название (!размер MB, !тип)");
    A::action(*m, "mnFormat")->trigger();
    EXPECT_EQ(answerer.seen, (QStringList{QStringLiteral("Tunelark - Запрос"),
                                          QStringLiteral("Tunelark - Запрос")}));
    EXPECT_EQ(m->Format, answerer.typeIn);
    QFile ini(m->fnINI);
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_EQ(ini.readAll(),
              (QStringLiteral("[Tunelark]\r\nFormat=") + answerer.typeIn + QStringLiteral("\r\n"))
                  .toUtf8());

    m->fOpenFile(media(QStringLiteral("tagged.mp3")));
    ASSERT_TRUE(waitFor(psPlaying));
    A::action(*m, "mnPrintSongName")->trigger();
    EXPECT_EQ(log->lines, QStringList{QStringLiteral("Ария - Беспечный ангел (.07 MB, mp3)")});
}

class CaptureWithDelay : public Capture {
    QByteArray ini() const override {
        return "[Tunelark]\r\nAutoPrint=True\r\nAnnounceDelay=2\r\n";
    }
};

TEST_F(CaptureWithDelay, OnlyTheLineWaitsAndOnlyForWhatPlaysLongEnough) {
    QElapsedTimer sinceStart;
    QObject::connect(&A::player(*m), &MediaPlayer::PlayStateChange, [&](int s) {
        if (s == psPlaying && !sinceStart.isValid())
            sinceStart.start();
    });
    m->fOpenFile(media(QStringLiteral("list.m3u")));
    ASSERT_TRUE(waitFor(psPlaying));
    // The fields and the file at once; the line once the track has played the delay.
    EXPECT_EQ(A::text(*m, 1)->text(), QStringLiteral("Ария"));
    EXPECT_TRUE(songFile().startsWith(QStringLiteral("Ария\r\n").toUtf8()));
    EXPECT_TRUE(log->lines.isEmpty());
    EXPECT_TRUE(A::announcementWaits(*m));
    ASSERT_TRUE(waitUntil([&] { return !log->lines.isEmpty(); }));
    EXPECT_GE(sinceStart.elapsed(), 1900);
    EXPECT_EQ(log->lines, QStringList{kTagged});

    // A short pause: the same hearing, not told again.
    A::action(*m, "mnPause")->trigger();
    ASSERT_TRUE(waitFor(psPaused));
    A::action(*m, "mnPlay")->trigger();
    ASSERT_TRUE(waitFor(psPlaying, 2));
    EXPECT_FALSE(A::announcementWaits(*m));

    // Told by hand at once, and not again when the delay is over.
    A::player(*m).controls.next();
    ASSERT_TRUE(waitFor(psPlaying, 3));
    EXPECT_TRUE(A::announcementWaits(*m));
    A::action(*m, "mnPrintSongName")->trigger();
    EXPECT_EQ(log->lines, (QStringList{kTagged, QStringLiteral("/me слушает  - second [00:03]")}));
    EXPECT_FALSE(A::announcementWaits(*m));

    // Stopped before the delay: never told.
    A::player(*m).controls.next();
    ASSERT_TRUE(waitFor(psPlaying, 4));
    EXPECT_EQ(A::text(*m, 2)->text(), QStringLiteral("Third"));
    EXPECT_TRUE(A::announcementWaits(*m));
    const int stops = int(std::count(states.begin(), states.end(), psStopped));
    A::action(*m, "mnStop")->trigger();
    ASSERT_TRUE(waitFor(psStopped, stops + 1));
    EXPECT_FALSE(A::announcementWaits(*m));
    EXPECT_EQ(log->lines.size(), 2);
    EXPECT_FALSE(QFile::exists(m->fnJSON));
}

class CaptureWithJson : public Capture {
    QByteArray ini() const override { return "[Tunelark]\r\nJsonFile=True\r\n"; }
};

TEST_F(CaptureWithJson, EachStartAndPauseIsWrittenBesideTheSongFile) {
    auto json = [&] {
        QFile f(m->fnJSON);
        return f.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(f.readAll()).object()
                                           : QJsonObject();
    };
    EXPECT_EQ(QFileInfo(m->fnJSON).dir(), QFileInfo(m->FN).dir());
    m->fOpenFile(media(QStringLiteral("tagged.mp3")));
    ASSERT_TRUE(waitFor(psPlaying));
    const QJsonObject playing = json();
    EXPECT_EQ(playing.value(u"artist").toString(), QStringLiteral("Ария"));
    EXPECT_EQ(playing.value(u"path").toString(), media(QStringLiteral("tagged.mp3")));
    EXPECT_EQ(playing.value(u"size").toInteger(),
              QFileInfo(media(QStringLiteral("tagged.mp3"))).size());
    EXPECT_EQ(playing.value(u"state").toString(), QStringLiteral("playing"));
    const QDateTime started =
        QDateTime::fromString(playing.value(u"started").toString(), Qt::ISODate);
    EXPECT_LE(qAbs(started.secsTo(QDateTime::currentDateTime())), 60);

    const QByteArray songFileBefore = songFile();
    A::action(*m, "mnPause")->trigger();
    ASSERT_TRUE(waitFor(psPaused));
    QJsonObject paused = json();
    EXPECT_EQ(paused.value(u"state").toString(), QStringLiteral("paused"));
    paused[u"state"] = QStringLiteral("playing");
    EXPECT_EQ(paused, playing); // the same track, started when it started
    EXPECT_EQ(songFile(), songFileBefore);

    A::action(*m, "mnPlay")->trigger();
    ASSERT_TRUE(waitFor(psPlaying, 2));
    EXPECT_EQ(json(), playing);
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
