// How the player's state reads through the desktop's media-player interface, and what that
// interface may ask of it.
#include "playback/play_state.h"
#include "qt/mpris.h"
#include "support/media.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include <cmath>
#include <limits>
#include <sys/stat.h>

using namespace Qt::Literals::StringLiterals;
using namespace playback;

TEST(Mpris, PlaybackStatusFollowsTheControlsStates) {
    const struct {
        QString before;
        PlayState state;
        QString after;
    } cases[] = {
        {u"Stopped"_s, PlayState::Playing, u"Playing"_s},
        {u"Playing"_s, PlayState::Paused, u"Paused"_s},
        {u"Stopped"_s, PlayState::Ready, u"Paused"_s}, // opened without starting
        {u"Playing"_s, PlayState::Stopped, u"Stopped"_s},
        {u"Playing"_s, PlayState::MediaEnded, u"Playing"_s}, // between two entries
        {u"Playing"_s, PlayState::Transitioning, u"Playing"_s},
        {u"Paused"_s, PlayState::Transitioning, u"Paused"_s},
        {u"Stopped"_s, PlayState::Transitioning, u"Stopped"_s},
        {u"Paused"_s, PlayState::Undefined, u"Paused"_s},
        {u"Paused"_s, PlayState::Other, u"Paused"_s},
    };
    for (const auto& c : cases)
        EXPECT_EQ(mpris::playbackStatus(c.before, c.state), c.after) << int(c.state);
}

TEST(Mpris, LoopStatusAndVolumeMapBothWays) {
    EXPECT_EQ(mpris::loopStatus(true), u"Playlist"_s);
    EXPECT_EQ(mpris::loopStatus(false), u"None"_s);
    const struct {
        QString text;
        std::optional<bool> repeat;
    } loops[] = {{u"Playlist"_s, true},
                 {u"None"_s, false},
                 {u"Track"_s, std::nullopt},
                 {u"playlist"_s, std::nullopt},
                 {u""_s, std::nullopt}};
    for (const auto& c : loops)
        EXPECT_EQ(mpris::repeatOf(c.text), c.repeat) << c.text.toStdString();

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double mpris;
        std::optional<int> control;
    } volumes[] = {{0.0, 0},   {0.5, 50}, {1.0, 100}, {0.304, 30}, {0.305, 31},
                   {1.7, 100}, {-0.2, 0}, {inf, 100}, {-inf, 0},   {nan, std::nullopt}};
    for (const auto& c : volumes)
        EXPECT_EQ(mpris::controlVolume(c.mpris), c.control) << c.mpris;
    const struct {
        int control;
        double mpris;
    } back[] = {{0, 0.0}, {50, 0.5}, {100, 1.0}, {130, 1.0}, {-4, 0.0}};
    for (const auto& c : back)
        EXPECT_DOUBLE_EQ(mpris::volumeOf(c.control), c.mpris) << c.control;
}

TEST(Mpris, MetadataTellsTheTrackAndLeavesOutWhatIsUnknown) {
    const QString noTrack = u"/org/mpris/MediaPlayer2/TrackList/NoTrack"_s;
    const struct {
        playback::Track track;
        QVariantMap expected;
    } cases[] = {
        {{.entryId = 7,
          .sourceURL = "/music/Ария - ангел.mp3",
          .name = "Беспечный ангел",
          .author = "Ария",
          .seconds = 305.25,
          .album = "Герой асфальта"},
         {{u"mpris:trackid"_s, u"/org/tunelark/Track/7"_s},
          {u"mpris:length"_s, qlonglong(305250000)},
          {u"xesam:title"_s, u"Беспечный ангел"_s},
          {u"xesam:artist"_s, QStringList{u"Ария"_s}},
          {u"xesam:album"_s, u"Герой асфальта"_s},
          {u"xesam:url"_s,
           u"file:///music/%D0%90%D1%80%D0%B8%D1%8F%20-%20%D0%B0%D0%BD%D0%B3%D0%B5%D0%BB.mp3"_s}}},
        {{.entryId = 3, .sourceURL = "http://radio.example/live?x=1", .name = "live"},
         {{u"mpris:trackid"_s, u"/org/tunelark/Track/3"_s},
          {u"xesam:title"_s, u"live"_s},
          {u"xesam:url"_s, u"http://radio.example/live?x=1"_s}}},
        {{.entryId = 4, .sourceURL = "/a.ogg", .name = "a", .seconds = std::nan("")},
         {{u"mpris:trackid"_s, u"/org/tunelark/Track/4"_s},
          {u"xesam:title"_s, u"a"_s},
          {u"xesam:url"_s, u"file:///a.ogg"_s}}},
        {{.sourceURL = "/stale.mp3", .name = "stale", .author = "x", .seconds = 3.0},
         {{u"mpris:trackid"_s, noTrack}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(mpris::metadata(c.track), c.expected) << c.track.sourceURL;
}

TEST(Mpris, OnlyExistingLocalMediaOpen) {
    QTemporaryDir dir;
    const QString song = dir.filePath(u"песня #1.mp3"_s);
    QFile f(song);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    const QString songUri = QUrl::fromLocalFile(song).toString(QUrl::FullyEncoded);
    const QString notes = dir.filePath(u"notes.txt"_s);
    const QString pipe = dir.filePath(u"pipe.MP3"_s);
    ASSERT_TRUE(QFile::copy(song, notes));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const struct {
        QString uri;
        QString file;
    } cases[] = {
        {songUri, song},
        {u"file://localhost"_s + QUrl::fromLocalFile(song).path(QUrl::FullyEncoded), song},
        {u"FILE://"_s + QUrl::fromLocalFile(song).path(QUrl::FullyEncoded), song},
        {QUrl::fromLocalFile(dir.path()).toString(), dir.path()}, // a folder plays too
        {QUrl::fromLocalFile(notes).toString(), {}},              // no media
        {QUrl::fromLocalFile(pipe).toString(), {}},               // no file, whatever its name
        {QUrl::fromLocalFile(dir.filePath(u"missing.mp3"_s)).toString(), {}},
        {u"file://otherhost"_s + QUrl::fromLocalFile(song).path(QUrl::FullyEncoded), {}},
        {u"http://example.org/a.mp3"_s, {}},
        {u"sftp://host/a.mp3"_s, {}},
        {song, {}}, // a bare path is no address
        {u"file:relative.mp3"_s, {}},
        {songUri + u"?x=1"_s, {}},
        {u"file://"_s, {}},
        {u""_s, {}},
        {u"file:///%00"_s, {}},
        {u"file:///tmp/%ZZ"_s, {}},
        {QString(4096, u'/'), {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(mpris::openableFile(c.uri), c.file) << c.uri.left(80).toStdString();
}

TEST(Mpris, SeekAndSetPositionStayWithinTheTrack) {
    const std::optional<double> none;
    const struct {
        double position;
        qint64 offsetUs;
        std::optional<double> length;
        std::optional<double> to; // nullopt: on to the next entry
    } seeks[] = {
        {10, 5'000'000, 60.0, 15.0},
        {10, -4'500'000, 60.0, 5.5},
        {10, -60'000'000, 60.0, 0.0},
        {10, 51'000'000, 60.0, none},
        {10, 50'000'000, 60.0, 60.0},
        {10, 500'000'000, none, 510.0},
        {0, std::numeric_limits<qint64>::max(), 60.0, none},
        {0, std::numeric_limits<qint64>::min(), 60.0, 0.0},
    };
    for (const auto& c : seeks)
        EXPECT_EQ(mpris::seekTarget(c.position, c.offsetUs, c.length), c.to) << c.offsetUs;

    const QString current = mpris::trackId(5);
    const struct {
        QString asked;
        qint64 positionUs;
        std::optional<double> length;
        std::optional<double> to; // nullopt: ignored
    } sets[] = {
        {current, 2'500'000, 60.0, 2.5},
        {current, 0, 60.0, 0.0},
        {current, 60'000'000, 60.0, 60.0},
        {current, 60'000'001, 60.0, none},
        {current, -1, 60.0, none},
        {current, 90'000'000, none, 90.0},
        {mpris::trackId(4), 2'500'000, 60.0, none}, // stale
        {u"/org/tunelark/Track/5/x"_s, 2'500'000, 60.0, none},
    };
    for (const auto& c : sets)
        EXPECT_EQ(mpris::positionTarget(current, c.asked, c.positionUs, c.length), c.to)
            << c.asked.toStdString() << " " << c.positionUs;
    EXPECT_EQ(mpris::positionTarget(mpris::trackId(-1), mpris::trackId(-1), 0, none), none);
}

TEST(Mpris, OnlyWhatChangedIsTold) {
    const QVariantMap before{{u"Volume"_s, 0.5}, {u"Shuffle"_s, false}};
    EXPECT_EQ(mpris::changed(before, before), QVariantMap());
    EXPECT_EQ(mpris::changed(before, {{u"Volume"_s, 0.5}, {u"Shuffle"_s, true}}),
              (QVariantMap{{u"Shuffle"_s, true}}));
    EXPECT_EQ(mpris::changed({}, before), before);
}
