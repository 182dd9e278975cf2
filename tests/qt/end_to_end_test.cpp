// The whole road of an announcement: the real window plays a tagged file, and a real WeeChat
// says it in a real channel on a private IRC server (all on 127.0.0.1, started by
// irc_peers.py), where an observer listens.
#include "main_access.h"
#include "support/icy_station.h"
#include "support/irc_channel.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

using testsupport::media;
using testsupport::waitUntil;
using A = MainTestAccess;
using namespace playback;

namespace {

class EndToEnd : public testsupport::IrcChannel {
protected:
    void SetUp() override {
        ASSERT_FALSE(testsupport::mediaDir().isEmpty());
        IrcChannel::SetUp();
    }
    // The program with automatic start and announcement, and the format given, if any.
    void open(const QString& format = {}) {
        MainOptions options; // the platform's own IRC link
        options.programFolder = dir.filePath(QStringLiteral("program"));
        options.vo = options.ao = QStringLiteral("null");
        ASSERT_TRUE(QDir().mkpath(options.programFolder));
        QFile ini(options.programFolder + QStringLiteral("/mirc.ini"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[Tunelark]\r\nAutoStart=True\r\nAutoPrint=True\r\n");
        if (!format.isEmpty())
            ini.write("Format=" + format.toUtf8() + "\r\n");
        ini.close();
        m = std::make_unique<Main>(std::move(options));
        tap = std::make_unique<testsupport::EngineTap>(A::engine(*m));
        tap->on = [this](PlayState s) { playing += s == PlayState::Playing; };
    }
    QString songFile() const { return QString::fromStdString(A::player(*m).songFile()); }

    std::unique_ptr<Main> m;
    std::unique_ptr<testsupport::EngineTap> tap;
    int playing = 0;
};

} // namespace

TEST_F(EndToEnd, TrackStartAndWriteCommandReachTheChannel) {
    open();
    m->fOpenFile(media(QStringLiteral("tagged.mp3")));
    ASSERT_TRUE(waitUntil([&] { return playing == 1; }));
    A::action(*m, "mnPrintSongName")->trigger();
    ASSERT_TRUE(finish()) << said().join(u'\n').toStdString();
    const QString line = action(QStringLiteral("слушает Ария - Беспечный ангел [00:05]"));
    EXPECT_EQ(said(), (QStringList{line, line, QStringLiteral("конец")}));

    QFile song(songFile());
    ASSERT_TRUE(song.open(QIODevice::ReadOnly));
    EXPECT_EQ(song.readAll(),
              QStringLiteral("Ария\r\nБеспечный ангел\r\n00:05\r\n128000\r\n").toUtf8());
}

TEST_F(EndToEnd, CraftedTitleIsOneMessageWithoutThePath) {
    const QString file = dir.filePath(QStringLiteral("secret-folder/crafted.mp3"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(file).path()));
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-y"),
                  QStringLiteral("-i"), media(QStringLiteral("tagged.mp3")), QStringLiteral("-c"),
                  QStringLiteral("copy"), QStringLiteral("-metadata"),
                  QStringLiteral("title=B\r\n/quit !адрес\n/exec -sh id"), file});
    ASSERT_TRUE(ffmpeg.waitForFinished(60000) && ffmpeg.exitCode() == 0);

    open();
    m->fOpenFile(file);
    ASSERT_TRUE(waitUntil([&] { return playing == 1; }));
    ASSERT_TRUE(finish()) << said().join(u'\n').toStdString();
    EXPECT_EQ(
        said(),
        (QStringList{action(QStringLiteral("слушает Ария - B  /quit !адрес /exec -sh id [00:05]")),
                     QStringLiteral("конец")}));
    EXPECT_FALSE(everything().contains("secret-folder"));
    EXPECT_FALSE(everything().contains(" QUIT"));
}

TEST_F(EndToEnd, AWebRadiosTitlesReachTheChannelAsTheyChange) {
    testsupport::IcyStation station;
    ASSERT_TRUE(
        station.start(QStringLiteral("Tunelark FM"), QStringLiteral("Ария - Беспечный ангел")))
        << station.earlierOutput().toStdString();
    const QString pls = dir.filePath(QStringLiteral("radio.pls"));
    QFile list(pls);
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    list.write("[playlist]\nFile1=" + station.url().toUtf8() +
               "\nTitle1=Tunelark FM\nLength1=-1\nNumberOfEntries=1\nVersion=2\n");
    list.close();
    open(QStringLiteral("/me слушает !артист - !название (!станция)"));
    m->fOpenFile(pls);

    auto shows = [&](const QString& artist, const QString& title) {
        return waitUntil(
            [&] { return A::text(*m, 1)->text() == artist && A::text(*m, 2)->text() == title; },
            30000);
    };
    ASSERT_TRUE(shows(QStringLiteral("Ария"), QStringLiteral("Беспечный ангел")));
    EXPECT_EQ(A::text(*m, 0)->text(), station.url());
    EXPECT_EQ(A::text(*m, 3)->text(), QString()); // a live stream has no length
    ASSERT_TRUE(station.setTitle("Позывные станции"));
    ASSERT_TRUE(shows(QString(), QStringLiteral("Позывные станции")));
    ASSERT_TRUE(station.setTitle("/quit - x\\r\\n/exec -sh id !адрес\\x01VERSION\\x01"));
    ASSERT_TRUE(shows(QStringLiteral("/quit"), QStringLiteral("x  /exec -sh id !адрес VERSION")));

    ASSERT_TRUE(finish()) << said().join(u'\n').toStdString();
    EXPECT_EQ(said(),
              (QStringList{action(QStringLiteral("слушает Ария - Беспечный ангел (Tunelark FM)")),
                           action(QStringLiteral("слушает  - Позывные станции (Tunelark FM)")),
                           action(QStringLiteral(
                               "слушает /quit - x  /exec -sh id !адрес VERSION (Tunelark FM)")),
                           QStringLiteral("конец")}));
    EXPECT_FALSE(everything().contains(" QUIT"));
    EXPECT_FALSE(everything().contains("\x01VERSION"));
    EXPECT_FALSE(everything().contains(station.url().toUtf8()));
    QFile song(songFile());
    ASSERT_TRUE(song.open(QIODevice::ReadOnly));
    EXPECT_EQ(song.readAll(),
              QStringLiteral("/quit\r\nx  /exec -sh id !адрес VERSION\r\n\r\n128000\r\n").toUtf8());
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
