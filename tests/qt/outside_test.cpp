// The whole program from outside: the real built program, started from a program folder of its
// own on a private session bus, driven only through the desktop's media-player interface by a
// real client (playerctl), as media keys and panels drive it. What it leaves behind is checked:
// the song file, the options, the announcements and how it ended.
#include "support/media.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;
using testsupport::media;
using testsupport::waitUntil;

namespace {

QString fileUri(const QString& path) {
    return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}

// Share of the region's sampled pixels in strong colour: a test picture, not grey controls.
double colourful(const QImage& image, const QRect& region) {
    int on = 0, total = 0;
    for (int y = region.top(); y <= region.bottom(); y += 2)
        for (int x = region.left(); x <= region.right(); x += 2, ++total) {
            const QRgb p = image.pixel(x, y);
            on += std::max({qRed(p), qGreen(p), qBlue(p)}) -
                      std::min({qRed(p), qGreen(p), qBlue(p)}) >
                  64;
        }
    return total ? double(on) / total : 0;
}

class Outside : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(testsupport::mediaDir().isEmpty());
        ASSERT_TRUE(dir.isValid());
        program = dir.filePath(u"program"_s);
        ASSERT_TRUE(QDir().mkpath(program));
        ASSERT_TRUE(QFile::copy(QStringLiteral(TUNELARK_PROGRAM), program + u"/tunelark"_s));
        ASSERT_TRUE(writeFile(program + u"/mirc.ini"_s, "[Tunelark]\r\nAutoPrint=True\r\n"));

        // A session bus of our own, so no other player on the test bus answers instead.
        bus.setProgram(u"dbus-daemon"_s);
        bus.setArguments({u"--session"_s, u"--nofork"_s, u"--print-address=1"_s});
        bus.start();
        ASSERT_TRUE(bus.waitForStarted(10000));
        ASSERT_TRUE(waitUntil([&] { return bus.canReadLine(); }, 10000)) << "no bus address";
        env = QProcessEnvironment::systemEnvironment();
        env.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, QString::fromUtf8(bus.readLine().trimmed()));
        env.remove(u"QT_QPA_PLATFORM"_s);
        // Under the sanitizers, the program started from outside is checked for memory errors
        // only: a full stack for every allocation makes it too slow for the steps' time limits,
        // and the window's leaks are checked where it runs inside the other tests.
        if (env.contains(u"ASAN_OPTIONS"_s))
            env.insert(u"ASAN_OPTIONS"_s,
                       env.value(u"ASAN_OPTIONS"_s) + u":fast_unwind_on_malloc=1:detect_leaks=0"_s);

        // The IRC client, as a WeeChat fifo the test reads: each announcement is one line.
        const QString weechat = dir.filePath(u"weechat"_s);
        ASSERT_TRUE(QDir().mkpath(weechat));
        const QByteArray fifo = QFile::encodeName(weechat + u"/weechat_fifo_1"_s);
        ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
        fifoFd = ::open(fifo.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(fifoFd, 0);
        env.insert(u"WEECHAT_HOME"_s, weechat);
        env.insert(u"XDG_CONFIG_HOME"_s, dir.filePath(u"config"_s));

        player.setProcessEnvironment(env);
        player.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        player.setStandardOutputFile(QProcess::nullDevice());
        player.start(program + u"/tunelark"_s, {});
        ASSERT_TRUE(player.waitForStarted(10000));
        ASSERT_TRUE(waitUntil([&] { return playerctl({u"status"_s}) == u"Stopped"_s; }, 20000))
            << "the player never came on the bus";
    }

    // Every change the player tells of from now on, as playerctl sees it; it starts with how
    // things stand, once there is a track.
    void follow() {
        follower.setProcessEnvironment(env);
        follower.start(u"playerctl"_s,
                       {u"-p"_s, u"tunelark"_s, u"--follow"_s, u"metadata"_s, u"--format"_s,
                        u"{{status}}|{{artist}}|{{title}}|{{shuffle}}|{{loop}}|{{volume}}"_s});
        ASSERT_TRUE(follower.waitForStarted(10000));
    }

    void TearDown() override {
        for (QProcess* p : {&player, &follower, &bus}) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
        if (fifoFd >= 0)
            ::close(fifoFd);
    }

    // Runs one client command to its end; its output, or nullopt when it failed.
    std::optional<QString> run(const QString& tool, const QStringList& args) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(tool, args);
        if (!p.waitForFinished(15000) || p.exitStatus() != QProcess::NormalExit ||
            p.exitCode() != 0)
            return std::nullopt;
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    }
    std::optional<QString> playerctl(const QStringList& args) {
        return run(u"playerctl"_s, QStringList{u"-p"_s, u"tunelark"_s} + args);
    }
    // A property of the player's interface, as dbus-send prints it ("variant boolean true").
    std::optional<QString> property(const QString& name) {
        return run(u"dbus-send"_s, {u"--session"_s, u"--print-reply=literal"_s, kDest, kPath,
                                    u"org.freedesktop.DBus.Properties.Get"_s, kPlayer, name});
    }
    const QString kDest = u"--dest=org.mpris.MediaPlayer2.tunelark"_s;
    const QString kPath = u"/org/mpris/MediaPlayer2"_s;
    const QString kPlayer = u"string:org.mpris.MediaPlayer2.Player"_s;

    // Waits for a line the follower prints from now on that starts with prefix.
    bool told(const QString& prefix, int timeoutMs = 20000) {
        const bool seen = waitUntil(
            [&] {
                while (follower.canReadLine())
                    lines << QString::fromUtf8(follower.readLine()).trimmed();
                for (; next < lines.size(); ++next) {
                    if (lines[next].startsWith(prefix)) {
                        ++next;
                        return true;
                    }
                }
                return false;
            },
            timeoutMs);
        if (!seen)
            ADD_FAILURE() << "never told: " << prefix.toStdString() << "\nwas told:\n"
                          << lines.join(u'\n').toStdString();
        return seen;
    }

    // Waits until the IRC client has been handed count announcements in all; returns them.
    QStringList announced(qsizetype count) {
        waitUntil([&] {
            char buffer[4096];
            for (ssize_t n; (n = ::read(fifoFd, buffer, sizeof buffer)) > 0;)
                fifoBytes.append(buffer, n);
            return fifoBytes.count('\n') >= count;
        });
        return QString::fromUtf8(fifoBytes).split(u'\n', Qt::SkipEmptyParts);
    }

    QTemporaryDir dir;
    QString program;
    QProcess bus, follower, player;
    QProcessEnvironment env;
    int fifoFd = -1;
    QStringList lines;
    qsizetype next = 0;
    QByteArray fifoBytes;
};

} // namespace

TEST_F(Outside, PlayerctlDrivesTheProgramAndItKeepsWhatWasSet) {
    // A tagged song long enough to outlast the steps, and a list whose next entry is that song.
    const QString song = dir.filePath(u"песня.mp3"_s);
    QProcess ffmpeg;
    ffmpeg.start(u"ffmpeg"_s,
                 {u"-loglevel"_s, u"error"_s, u"-y"_s, u"-f"_s, u"lavfi"_s, u"-i"_s,
                  u"sine=frequency=440:duration=60"_s, u"-metadata"_s, u"artist=Ария"_s,
                  u"-metadata"_s, u"title=Беспечный ангел"_s, u"-b:a"_s, u"128k"_s, song});
    ASSERT_TRUE(ffmpeg.waitForFinished(60000) && ffmpeg.exitCode() == 0);
    const QString list = dir.filePath(u"list.m3u"_s);
    ASSERT_TRUE(writeFile(list, (media(u"almost-minute.ogg"_s) + u'\n' + song + u'\n').toUtf8()));

    const QString tagged = u"Playing|Ария|Беспечный ангел|"_s;

    // Open: it plays, and tells what.
    ASSERT_TRUE(playerctl({u"open"_s, fileUri(song)}));
    ASSERT_TRUE(waitUntil([&] { return playerctl({u"status"_s}) == u"Playing"_s; }));
    follow();
    ASSERT_TRUE(told(tagged));
    ASSERT_EQ(announced(1).size(), 1);
    EXPECT_EQ(playerctl({u"metadata"_s, u"--format"_s, u"{{artist}}|{{title}}"_s}),
              u"Ария|Беспечный ангел"_s);
    EXPECT_FALSE(playerctl({u"open"_s, fileUri(dir.filePath(u"missing.mp3"_s))}));
    EXPECT_FALSE(playerctl({u"open"_s, u"http://127.0.0.1:1/a.mp3"_s}));

    // Pause and play.
    ASSERT_TRUE(playerctl({u"pause"_s}));
    ASSERT_TRUE(told(u"Paused|Ария|Беспечный ангел|"_s));
    ASSERT_TRUE(playerctl({u"play"_s}));
    ASSERT_TRUE(told(tagged));
    ASSERT_EQ(announced(2).size(), 2);

    // A video: the player area shows the picture.
    ASSERT_TRUE(playerctl({u"open"_s, fileUri(media(u"short.mkv"_s))}));
    ASSERT_TRUE(told(u"Playing||short|"_s));
    ASSERT_EQ(announced(3).size(), 3);
    // The window's place on the screen, and its player area inside it.
    const QRect area(189, 214 + 100 - 22, 439, 369); // menu bar height varies a little
    const QString shot = QDir::current().filePath(u"outside-video.png"_s);
    QImage screen;
    const bool pictured = waitUntil(
        [&] {
            if (!run(u"import"_s, {u"-window"_s, u"root"_s, shot}))
                return false;
            screen.load(shot);
            return !screen.isNull() && colourful(screen, area) > 0.2;
        },
        20000);
    EXPECT_TRUE(pictured) << "see " << shot.toStdString();

    // The next entry of a list.
    ASSERT_TRUE(playerctl({u"open"_s, fileUri(list)}));
    ASSERT_TRUE(told(u"Playing||almost-minute|"_s));
    // The status stays Playing from one track to the next: the announcement shows this one
    // has truly started.
    ASSERT_EQ(announced(4).size(), 4);
    ASSERT_TRUE(playerctl({u"next"_s}));
    ASSERT_TRUE(told(tagged));
    // Its first metadata already carries its tags, never the file's name.
    EXPECT_TRUE(lines.filter(u"|песня|"_s).isEmpty()) << lines.join(u'\n').toStdString();
    ASSERT_EQ(announced(5).size(), 5);

    // The options, and the volume the engine now has.
    ASSERT_TRUE(playerctl({u"shuffle"_s, u"On"_s}));
    ASSERT_TRUE(told(tagged + u"true|None|"_s));
    ASSERT_TRUE(playerctl({u"loop"_s, u"Playlist"_s}));
    ASSERT_TRUE(told(tagged + u"true|Playlist|"_s));
    ASSERT_TRUE(playerctl({u"volume"_s, u"1.7"_s}));
    ASSERT_TRUE(told(tagged + u"true|Playlist|1"_s));

    // Quit, as the desktop asks it.
    ASSERT_TRUE(
        run(u"dbus-send"_s,
            {u"--session"_s, u"--print-reply"_s, u"--dest=org.mpris.MediaPlayer2.tunelark"_s,
             u"/org/mpris/MediaPlayer2"_s, u"org.mpris.MediaPlayer2.Quit"_s}));
    ASSERT_TRUE(player.waitForFinished(20000)) << "still running after Quit";
    EXPECT_EQ(player.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(player.exitCode(), 0);

    EXPECT_EQ(readFile(program + u"/SongName.txt"_s),
              u"Ария\r\nБеспечный ангел\r\n01:00\r\n128000\r\n"_s.toUtf8());
    EXPECT_EQ(readFile(program + u"/mirc.ini"_s),
              "[Tunelark]\r\nAutoPrint=True\r\nRepeat=True\r\nAutoStart=False\r\nRandom=True\r\n");
    // Each start announced exactly once: the song, its resumption, the video, the list's two.
    // The program has ended, so all of them are in.
    const QString line = u"*/me слушает Ария - Беспечный ангел [01:00]"_s;
    EXPECT_EQ(announced(0), (QStringList{line, line, u"*/me слушает  - short [00:20]"_s,
                                         u"*/me слушает  - almost-minute [00:59]"_s, line}));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(u"config/tunelark"_s)))
        << "the program folder could be written";
}

TEST_F(Outside, ValuesTheWrongTypeOrNotAppliedAreRefusedAndChangeNothing) {
    const struct {
        QString name, value; // as dbus-send writes them
    } cases[] = {{u"Shuffle"_s, u"string:no"_s},
                 {u"Shuffle"_s, u"int32:7"_s},
                 {u"LoopStatus"_s, u"boolean:true"_s},
                 {u"LoopStatus"_s, u"string:Always"_s},
                 {u"Volume"_s, u"string:0.9"_s},
                 {u"Volume"_s, u"int32:1"_s},
                 {u"Rate"_s, u"string:abc"_s},
                 // The right type, but values the player would not apply.
                 {u"LoopStatus"_s, u"string:Track"_s},
                 {u"Rate"_s, u"double:0.5"_s},
                 {u"Rate"_s, u"double:nan"_s},
                 {u"Rate"_s, u"double:inf"_s},
                 {u"Volume"_s, u"double:nan"_s}};
    for (const auto& c : cases) {
        const auto before = property(u"string:"_s + c.name);
        ASSERT_TRUE(before) << c.name.toStdString();
        QProcess set;
        set.setProcessEnvironment(env);
        set.start(u"dbus-send"_s, {u"--session"_s, u"--print-reply"_s, kDest, kPath,
                                   u"org.freedesktop.DBus.Properties.Set"_s, kPlayer,
                                   u"string:"_s + c.name, u"variant:"_s + c.value});
        ASSERT_TRUE(set.waitForFinished(15000));
        EXPECT_TRUE(set.readAllStandardError().contains(".Error.InvalidArgs"))
            << c.value.toStdString();
        EXPECT_EQ(property(u"string:"_s + c.name), before) << c.value.toStdString();
    }
}

TEST_F(Outside, NextAndSeekStopAtTheEndOfTheList) {
    const QString list = dir.filePath(u"two.m3u"_s);
    ASSERT_TRUE(writeFile(
        list, (media(u"almost-minute.ogg"_s) + u'\n' + media(u"over-hour.ogg"_s)).toUtf8()));
    follow();
    ASSERT_TRUE(playerctl({u"open"_s, fileUri(list)}));
    ASSERT_TRUE(told(u"Playing||almost-minute|"_s));
    ASSERT_TRUE(playerctl({u"position"_s, u"120+"_s})); // past its end
    ASSERT_TRUE(told(u"Playing||over-hour|"_s));
    ASSERT_TRUE(playerctl({u"next"_s})); // the last entry, without repeat
    ASSERT_TRUE(told(u"Stopped|"_s));
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
