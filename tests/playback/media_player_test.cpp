// The engine wrapper over the real libmpv, headless (no video, no sound device).
#include "playback/media_player.h"
#include "support/case_name.h"
#include "support/icy_station.h"
#include "support/media.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>

using namespace playback;
using testsupport::media;
using testsupport::waitUntil;

namespace {

class Engine : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(testsupport::mediaDir().isEmpty());
        fresh();
    }
    // A new engine, with nothing seen yet.
    void fresh() {
        player.reset();
        states.clear();
        started.clear();
        player = std::make_unique<MediaPlayer>(
            EngineOptions{std::nullopt, QString(), QStringLiteral("null")});
        ASSERT_TRUE(player->isRunning());
        QObject::connect(player.get(), &MediaPlayer::PlayStateChange, [this](int s) {
            states.push_back(s);
            if (s == psPlaying)
                started << QFileInfo(player->currentMedia.sourceURL()).completeBaseName();
        });
    }

    int count(int state) const { return int(std::count(states.begin(), states.end(), state)); }
    bool waitFor(int state, int times = 1, int timeoutMs = 15000) {
        return waitUntil([&] { return count(state) >= times; }, timeoutMs);
    }
    // Something played, and then the engine stopped by itself.
    bool waitForTheEnd() {
        return waitUntil([&] { return !started.isEmpty() && states.back() == psStopped; });
    }
    QStringList names() const {
        QStringList out;
        for (int i = 0; i < player->currentPlaylist.count(); ++i)
            out << player->currentPlaylist.Item(i)->name;
        return out;
    }

    std::unique_ptr<MediaPlayer> player;
    std::vector<int> states;
    QStringList started; // base names of the entries, as each starts playing
};

QStringList beeps(int from, int to) {
    QStringList out;
    for (int i = from; i < to; ++i)
        out << QStringLiteral("beep%1").arg(i);
    return out;
}

QStringList sorted(QStringList list) {
    list.sort();
    return list;
}

} // namespace

TEST_F(Engine, ListsEntriesAsSoonAsTheUrlIsSet) {
    struct Case {
        QString file;
        QStringList names;
    };
    const Case cases[] = {
        {QStringLiteral("tagged.mp3"), {QStringLiteral("tagged")}},
        {QStringLiteral("list.m3u"),
         {QStringLiteral("Первая песня"), QStringLiteral("second"), QStringLiteral("Third")}},
        {QStringLiteral("list.pls"), {QStringLiteral("untagged"), QStringLiteral("tagged")}},
    };
    for (const auto& c : cases) {
        player->setURL(media(c.file));
        EXPECT_EQ(names(), c.names) << c.file.toStdString();
    }
    // Relative entries resolve beside the playlist file.
    player->setURL(media(QStringLiteral("list.m3u")));
    EXPECT_TRUE(QFileInfo::exists(player->currentPlaylist.Item(1)->sourceURL));
    EXPECT_FALSE(player->currentPlaylist.Item(3).has_value());
    EXPECT_FALSE(player->currentPlaylist.Item(-1).has_value());
}

TEST_F(Engine, DescribesTheCurrentTrack) {
    struct Case {
        QString file, author, name, duration, bitrate, type;
    };
    const Case cases[] = {
        {QStringLiteral("tagged.mp3"), QStringLiteral("Ария"), QStringLiteral("Беспечный ангел"),
         QStringLiteral("00:05"), QStringLiteral("128000"), QStringLiteral("mp3")},
        // Ogg keeps its tag names in upper case.
        {QStringLiteral("upper.ogg"),
         QStringLiteral("Кино"),
         QStringLiteral("Звезда по имени Солнце"),
         QStringLiteral("00:03"),
         {},
         QStringLiteral("ogg")},
        {QStringLiteral("untagged.ogg"),
         {},
         QStringLiteral("untagged"),
         QStringLiteral("00:03"),
         {},
         QStringLiteral("ogg")},
        {QStringLiteral("almost-minute.ogg"),
         {},
         QStringLiteral("almost-minute"),
         QStringLiteral("00:59"),
         {},
         QStringLiteral("ogg")},
        {QStringLiteral("over-hour.ogg"),
         {},
         QStringLiteral("over-hour"),
         QStringLiteral("01:02:05"),
         {},
         QStringLiteral("ogg")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        states.clear();
        player->setURL(media(c.file));
        ASSERT_TRUE(waitFor(psPlaying));
        const auto& m = player->currentMedia;
        EXPECT_EQ(m.sourceURL(), media(c.file));
        EXPECT_EQ(m.getItemInfo(QStringLiteral("Author")), c.author);
        EXPECT_EQ(m.name(), c.name);
        EXPECT_EQ(m.durationString(), c.duration);
        if (!c.bitrate.isEmpty()) {
            EXPECT_EQ(m.getItemInfo(QStringLiteral("Bitrate")), c.bitrate);
        }
        EXPECT_EQ(m.getItemInfo(QStringLiteral("FileSize")),
                  QString::number(QFileInfo(media(c.file)).size()));
        EXPECT_EQ(m.getItemInfo(QStringLiteral("FileType")), c.type);
        EXPECT_EQ(m.getItemInfo(QStringLiteral("Nonsense")), QString());
    }
}

TEST_F(Engine, PlaylistTitleNamesTheTrackWithoutATitleTag) {
    player->setURL(media(QStringLiteral("list.m3u")));
    ASSERT_TRUE(waitFor(psPlaying));
    EXPECT_EQ(player->currentMedia.name(), QStringLiteral("Беспечный ангел")); // the tag wins
    player->controls.playItem(*player->currentPlaylist.Item(2));
    ASSERT_TRUE(waitUntil(
        [&] { return player->currentMedia.sourceURL() == media(QStringLiteral("untagged.ogg")); }));
    EXPECT_EQ(player->currentMedia.name(), QStringLiteral("Third"));
}

TEST_F(Engine, ReadsNothingWhenNothingIsLoaded) {
    for (const auto& attribute : {QStringLiteral("Author"), QStringLiteral("Bitrate"),
                                  QStringLiteral("FileSize"), QStringLiteral("FileType")})
        EXPECT_EQ(player->currentMedia.getItemInfo(attribute), QString());
    EXPECT_EQ(player->currentMedia.name(), QString());
    EXPECT_EQ(player->currentMedia.durationString(), QString());
    EXPECT_EQ(player->currentPlaylist.count(), 0);
    player->controls.play(); // nothing to play: no effect, no crash
    player->controls.playItem(MediaItem{});
    EXPECT_EQ(count(psPlaying), 0);
}

TEST_F(Engine, AutoStartOffLoadsPausedUntilPlay) {
    player->settings.setAutoStart(false);
    player->setURL(media(QStringLiteral("tagged.mp3")));
    ASSERT_TRUE(waitFor(psReady));
    EXPECT_EQ(count(psPlaying), 0);
    player->controls.play();
    ASSERT_TRUE(waitFor(psPlaying));
    EXPECT_EQ(count(psPlaying), 1);
}

TEST_F(Engine, PauseAndResumeReportPlayingAgain) {
    player->setURL(media(QStringLiteral("tagged.mp3")));
    ASSERT_TRUE(waitFor(psPlaying));
    player->controls.pause();
    ASSERT_TRUE(waitFor(psPaused));
    player->controls.play();
    ASSERT_TRUE(waitFor(psPlaying, 2));
}

TEST_F(Engine, StopThenPlayRestartsTheCurrentEntry) {
    player->setURL(media(QStringLiteral("list.m3u")));
    ASSERT_EQ(player->currentPlaylist.count(), 3);
    ASSERT_TRUE(waitFor(psPlaying));
    player->controls.playItem(*player->currentPlaylist.Item(2));
    ASSERT_TRUE(waitFor(psPlaying, 2));
    ASSERT_EQ(player->currentMedia.sourceURL(), media(QStringLiteral("untagged.ogg")));
    player->controls.stop();
    ASSERT_TRUE(waitFor(psStopped));
    EXPECT_EQ(player->currentPlaylist.count(), 3);
    const int before = count(psPlaying);
    player->controls.play();
    ASSERT_TRUE(waitFor(psPlaying, before + 1));
    EXPECT_EQ(player->currentMedia.sourceURL(), media(QStringLiteral("untagged.ogg")));
}

TEST_F(Engine, RandomPlaysEveryEntryOncePerPass) {
    struct Case {
        const char* list;
        int entries;
        int onAt;  // starts seen before Random goes on; 0: on before the Open
        int offAt; // starts seen before it goes off again; 0: stays on
        bool repeat;
    };
    const Case cases[] = {
        {"one.m3u", 1, 0, 0, false}, {"two.m3u", 2, 0, 0, false},    {"six.m3u", 6, 0, 0, false},
        {"six.m3u", 6, 0, 0, true},  {"two.m3u", 2, 1, 0, false},    {"six.m3u", 6, 2, 0, false},
        {"six.m3u", 6, 0, 2, false}, {"nested.m3u", 4, 0, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.list) + " on at " + std::to_string(c.onAt) + " off at " +
                     std::to_string(c.offAt) + (c.repeat ? " repeat" : ""));
        fresh();
        player->settings.setMode(QStringLiteral("loop"), c.repeat);
        player->settings.setMode(QStringLiteral("shuffle"), c.onAt == 0);
        player->setURL(media(QLatin1String(c.list)));
        if (c.onAt > 0) {
            ASSERT_TRUE(waitUntil([&] { return started.size() >= c.onAt; }));
            player->settings.setMode(QStringLiteral("shuffle"), true);
        }
        if (c.offAt > 0) {
            ASSERT_TRUE(waitUntil([&] { return started.size() >= c.offAt; }));
            player->settings.setMode(QStringLiteral("shuffle"), false);
        }
        const QStringList all = beeps(0, c.entries);
        if (c.repeat) {
            ASSERT_TRUE(waitUntil([&] { return started.size() >= 2 * c.entries; }, 30000));
            EXPECT_EQ(sorted(started.mid(0, c.entries)), all);
            EXPECT_EQ(sorted(started.mid(c.entries, c.entries)), all);
            continue;
        }
        ASSERT_TRUE(waitForTheEnd()) << started.join(u' ').toStdString();
        if (c.offAt > 0) {
            // From the track playing when it went off, on in list order to the end.
            const int at = all.indexOf(started[c.offAt - 1]);
            EXPECT_EQ(started.mid(c.offAt), all.mid(at + 1));
            continue;
        }
        EXPECT_EQ(sorted(started), all) << started.join(u' ').toStdString();
        EXPECT_EQ(started.mid(0, c.onAt), all.mid(0, c.onAt));
    }
}

TEST_F(Engine, RandomStartsAnOpenAnywhereInTheList) {
    player->settings.setMode(QStringLiteral("shuffle"), true);
    QStringList firsts;
    // Each Open but the first replaces a list that is playing.
    for (int open = 0; open < 9; ++open) {
        started.clear();
        player->setURL(media(QStringLiteral("six.m3u")));
        ASSERT_TRUE(waitUntil([&] { return !started.isEmpty(); }));
        if (open > 0)
            firsts << started.first();
    }
    firsts.removeDuplicates();
    EXPECT_GT(firsts.size(), 1) << "every Open started with " << firsts.first().toStdString();
}

TEST_F(Engine, RandomNextPlaysWhatThePassHasLeftAndPreviousGoesBack) {
    player->settings.setMode(QStringLiteral("shuffle"), true);
    player->setURL(media(QStringLiteral("list.m3u"))); // tracks of 3 s and more
    ASSERT_TRUE(waitUntil([&] { return started.size() == 1; }));
    for (qsizetype n : {2, 3}) {
        player->controls.next();
        ASSERT_TRUE(waitUntil([&] { return started.size() == n; }));
    }
    EXPECT_EQ(sorted(started), (QStringList{QStringLiteral("second"), QStringLiteral("tagged"),
                                            QStringLiteral("untagged")}));
    player->controls.previous();
    ASSERT_TRUE(waitUntil([&] { return started.size() == 4; }));
    EXPECT_EQ(started[3], started[1]);
}

TEST_F(Engine, ShuffleKeepsTheListOrderAndTheTrackPlaying) {
    player->setURL(media(QStringLiteral("list.m3u")));
    const QStringList order = names();
    ASSERT_TRUE(waitFor(psPlaying));
    const QString playing = player->currentMedia.sourceURL();
    const int transitions = count(psTransitioning);
    player->settings.setMode(QStringLiteral("shuffle"), true);
    EXPECT_EQ(names(), order);
    EXPECT_EQ(player->currentMedia.sourceURL(), playing);
    // Entry i still means the same track.
    for (int i : {2, 1, 0}) {
        const MediaItem item = *player->currentPlaylist.Item(i);
        const int started = count(psPlaying);
        player->controls.playItem(item);
        ASSERT_TRUE(waitFor(psPlaying, started + 1));
        EXPECT_EQ(player->currentMedia.sourceURL(), item.sourceURL);
    }
    EXPECT_GT(count(psTransitioning), transitions);
    player->settings.setMode(QStringLiteral("shuffle"), false);
    EXPECT_EQ(names(), order);
}

TEST_F(Engine, EntriesExpandedWhenReachedJoinTheListInPlace) {
    struct Case {
        QString target;
        QStringList before, after;
    };
    const Case cases[] = {
        {QStringLiteral("folder"),
         {QStringLiteral("folder")},
         {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}},
        {QStringLiteral("nested.m3u"),
         {QStringLiteral("beep0"), QStringLiteral("inner"), QStringLiteral("beep3")},
         beeps(0, 4)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target.toStdString());
        fresh();
        int changes = 0;
        QObject::connect(player.get(), &MediaPlayer::CurrentPlaylistChange, [&] { ++changes; });
        player->setURL(media(c.target));
        EXPECT_EQ(names(), c.before);
        ASSERT_TRUE(waitUntil([&] { return changes > 0; }));
        EXPECT_EQ(names(), c.after);
        // Entry i is the i-th of the list as it is now.
        for (int i : {2, 0}) {
            player->controls.stop();
            ASSERT_TRUE(waitUntil([&] { return states.back() == psStopped; }));
            started.clear();
            player->controls.playItem(*player->currentPlaylist.Item(i));
            ASSERT_TRUE(waitUntil([&] { return !started.isEmpty(); }));
            EXPECT_EQ(started.first(), c.after[i]);
        }
        EXPECT_EQ(changes, 1);
    }
}

TEST_F(Engine, ListsThatIncludeThemselvesOrNestTooDeepStillPlayTheRest) {
    struct Case {
        QString list;
        QStringList plays;
        int entries; // at the end: nothing expanded twice
    };
    const Case cases[] = {
        {QStringLiteral("self.m3u"), beeps(0, 2), 3},
        {QStringLiteral("cycle-a.m3u"),
         {QStringLiteral("beep0"), QStringLiteral("beep2"), QStringLiteral("beep3"),
          QStringLiteral("beep1")},
         5},
        // Eight levels of lists play; the ninth level does not.
        {QStringLiteral("deep1.m3u"), beeps(0, 8), 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.list.toStdString());
        fresh();
        player->setURL(media(c.list));
        ASSERT_TRUE(waitForTheEnd()) << started.join(u' ').toStdString();
        EXPECT_EQ(started, c.plays);
        EXPECT_EQ(player->currentPlaylist.count(), c.entries);
    }
}

TEST_F(Engine, ALongRunOfMissingEntriesLeavesTheEventLoopRunning) {
    // 100,000 entries, the first 3,000 of them missing, then a real one.
    QTemporaryDir dir;
    const QString list = dir.filePath(QStringLiteral("big.m3u"));
    QFile f(list);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    QByteArray text;
    for (int i = 0; i < 100000; ++i)
        text += i == 3000 ? media(QStringLiteral("beep0.ogg")).toUtf8() + '\n'
                          : "missing/" + QByteArray::number(i) + ".ogg\n";
    f.write(text);
    f.close();

    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(0);
    player->setURL(list);
    EXPECT_EQ(player->currentPlaylist.count(), 100000);
    const int before = ticks;
    ASSERT_TRUE(waitFor(psPlaying, 1, 60000));
    EXPECT_EQ(started, QStringList{QStringLiteral("beep0")});
    EXPECT_GT(ticks - before, 50) << "the engine's events kept the event loop busy";
}

TEST_F(Engine, AHundredThousandMissingEntriesAndTheListItselfAreShownWholeAndPassedOver) {
    // 100,000 entries: the list naming itself first, after 1,000 missing files and last, one
    // real track after 2,000 missing files, every other entry missing. The list is shown whole
    // at once; the engine passes over the list without reading it into itself again and over
    // the missing files to the track, and the event loop keeps turning meanwhile. (Going on
    // through all of them takes over a minute here: the window stays free all the while.)
    QTemporaryDir dir;
    const QString list = dir.filePath(QStringLiteral("hostile.m3u"));
    QFile f(list);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    QByteArray text;
    for (int i = 0; i < 100000; ++i) {
        if (i == 0 || i == 1001 || i == 99999)
            text += "hostile.m3u\n";
        else if (i == 2002)
            text += media(QStringLiteral("beep0.ogg")).toUtf8() + '\n';
        else
            text += "missing/" + QByteArray::number(i) + ".ogg\n";
    }
    f.write(text);
    f.close();

    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout,
                     [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
    player->setURL(list);
    EXPECT_EQ(player->currentPlaylist.count(), 100000);
    sinceTick.start();
    ticker.start(5);
    ASSERT_TRUE(waitFor(psPlaying, 1, 60000));
    EXPECT_EQ(started, QStringList{QStringLiteral("beep0")});
    EXPECT_EQ(player->currentPlaylist.count(), 100000);
    EXPECT_LT(longestGap, 1000) << "the window waited on the engine";
}

TEST_F(Engine, VolumeStaysWithinItsRange) {
    const std::pair<int, int> cases[] = {{30, 30}, {150, 100}, {-4, 0}, {100, 100}};
    for (auto [set, want] : cases) {
        player->settings.setVolume(set);
        EXPECT_EQ(player->settings.volume(), want) << set;
    }
}

TEST_F(Engine, EmptyUrlUnloads) {
    player->setURL(media(QStringLiteral("tagged.mp3")));
    ASSERT_TRUE(waitFor(psPlaying));
    player->setURL(QString());
    ASSERT_TRUE(waitFor(psStopped));
    EXPECT_EQ(player->currentMedia.sourceURL(), QString());
    EXPECT_EQ(player->currentPlaylist.count(), 0);
}

TEST(StreamTitle, GivesArtistAndTitleOnlyInTheUsualForm) {
    const QString longText(5000, u'я');
    const struct {
        QString stream, artist, title;
    } cases[] = {
        {QStringLiteral("Ария - Беспечный ангел"), QStringLiteral("Ария"),
         QStringLiteral("Беспечный ангел")},
        {QStringLiteral("Позывные станции"), {}, QStringLiteral("Позывные станции")},
        {QStringLiteral("  A  -  B - C "), QStringLiteral("A"), QStringLiteral("B - C")},
        {QStringLiteral("AC/DC - T.N.T."), QStringLiteral("AC/DC"), QStringLiteral("T.N.T.")},
        {QStringLiteral(" - B"), {}, QStringLiteral("- B")},
        {QStringLiteral("A - "), {}, QStringLiteral("A -")},
        {QStringLiteral("A-B"), {}, QStringLiteral("A-B")},
        {QStringLiteral("/quit - !адрес\r\n/exec x"), QStringLiteral("/quit"),
         QStringLiteral("!адрес  /exec x")},
        {QStringLiteral("x\x01VERSION\x01 - \x03"
                        "4red\t\x7f"),
         QStringLiteral("x VERSION"), QStringLiteral("4red")},
        {longText + QStringLiteral(" - x"), longText, QStringLiteral("x")},
        {QStringLiteral("\x01\x02 \r\n"), {}, {}},
        {{}, {}, {}},
    };
    for (const auto& c : cases) {
        const StreamTitle split = splitStreamTitle(c.stream);
        EXPECT_EQ(split.artist, c.artist) << c.stream.left(40).toStdString();
        EXPECT_EQ(split.title, c.title) << c.stream.left(40).toStdString();
    }
}

TEST(TagText, GivesTheYearAndTheTrackNumber) {
    const std::pair<const char*, const char*> years[] = {{"2003", "2003"},
                                                         {"2003-05-01", "2003"},
                                                         {"2003/05", "2003"},
                                                         {" 1999 ", "1999"},
                                                         {"20031", "20031"},
                                                         {"май 2003", "май 2003"},
                                                         {"", ""}};
    for (auto [tag, year] : years)
        EXPECT_EQ(yearOf(QString::fromUtf8(tag)), QString::fromUtf8(year)) << tag;
    const std::pair<const char*, const char*> numbers[] = {
        {"3", "3"}, {"3/12", "3"}, {" 07 / 12", "07"}, {"", ""}};
    for (auto [tag, number] : numbers)
        EXPECT_EQ(trackNumberOf(QString::fromUtf8(tag)), QString::fromUtf8(number)) << tag;
}

TEST_F(Engine, AWebRadioTellsEachNewTitleOnceAsANewTrack) {
    testsupport::IcyStation station;
    ASSERT_TRUE(
        station.start(QStringLiteral("Tunelark FM"), QStringLiteral("Ария - Беспечный ангел")))
        << station.earlierOutput().toStdString();
    std::vector<MediaSnapshot> titles;
    QObject::connect(player.get(), &MediaPlayer::StreamTitleChange,
                     [&] { titles.push_back(player->startedMedia()); });
    player->setURL(station.url());
    ASSERT_TRUE(waitFor(psPlaying, 1, 30000));
    const MediaSnapshot& first = player->startedMedia();
    EXPECT_EQ(first.author, QStringLiteral("Ария"));
    EXPECT_EQ(first.name, QStringLiteral("Беспечный ангел"));
    EXPECT_EQ(first.station, QStringLiteral("Tunelark FM"));
    EXPECT_EQ(first.sourceURL, station.url());
    EXPECT_EQ(first.fileType, QStringLiteral("mp3"));
    EXPECT_EQ(first.bitrate, QStringLiteral("128000"));
    // Live: no length, no size; what the engine has received so far is none.
    EXPECT_EQ(first.durationString, QString());
    EXPECT_FALSE(first.seconds.has_value());
    EXPECT_EQ(first.fileSize, QString());

    const struct {
        QByteArray sent;
        QString author, name;
    } changes[] = {
        {"Позывные станции", {}, QStringLiteral("Позывные станции")},
        {"Кино - Группа крови", QStringLiteral("Кино"), QStringLiteral("Группа крови")},
    };
    for (const auto& c : changes) {
        const size_t before = titles.size();
        ASSERT_TRUE(station.setTitle(c.sent));
        ASSERT_TRUE(waitUntil([&] { return titles.size() > before; }, 30000)) << c.sent.data();
        ASSERT_EQ(titles.size(), before + 1); // the same title again in every block is no news
        EXPECT_EQ(titles.back().author, c.author);
        EXPECT_EQ(titles.back().name, c.name);
        EXPECT_EQ(titles.back().station, QStringLiteral("Tunelark FM"));
    }
    EXPECT_EQ(count(psPlaying), 1); // still the one start of play
}

TEST_F(Engine, AStationThatNeverAnswersHoldsNothingUp) {
    testsupport::IcyStation station;
    ASSERT_TRUE(station.start(QStringLiteral("Hung"), {}, true));
    player->setURL(station.url());
    EXPECT_EQ(player->currentMedia.durationString(), QString());
    player->setURL(media(QStringLiteral("tagged.mp3")));
    ASSERT_TRUE(waitFor(psPlaying));
    EXPECT_EQ(player->startedMedia().sourceURL, media(QStringLiteral("tagged.mp3")));
}

// Files no one should have to play: each ends in a clear state, and the next file plays.
struct HostileMedia {
    const char* what;
    std::function<QByteArray()> bytes; // what the file holds; none: the shared long-title.mp3
    bool plays;
};

QByteArray truncatedMp3() {
    QFile f(media(QStringLiteral("tagged.mp3")));
    return f.open(QIODevice::ReadOnly) ? f.read(f.size() / 3) : QByteArray();
}

const HostileMedia kHostileMedia[] = {
    {"truncated mp3 plays what there is and ends", truncatedMp3, true},
    {"text file named mp3 never plays",
     [] { return QByteArrayLiteral("Это не песня, а список покупок.\n").repeated(100); }, false},
    {"zero byte file never plays", [] { return QByteArray(""); }, false},
    {"64 KiB title plays under its whole title", nullptr, true},
};

class HostileFile : public Engine, public testing::WithParamInterface<HostileMedia> {};

TEST_P(HostileFile, EndsInAClearStateAndTheNextFilePlays) {
    const HostileMedia& c = GetParam();
    QTemporaryDir dir;
    QString file = media(QStringLiteral("long-title.mp3"));
    if (c.bytes) {
        file = dir.filePath(QStringLiteral("hostile.mp3"));
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(c.bytes()), c.bytes().size());
    }
    player->setURL(file);
    if (c.plays) {
        ASSERT_TRUE(waitFor(psPlaying));
        if (!c.bytes) {
            EXPECT_EQ(player->currentMedia.name(), testsupport::longTitle());
        }
    }
    ASSERT_TRUE(waitFor(psStopped));
    EXPECT_EQ(count(psPlaying), c.plays ? 1 : 0);

    states.clear();
    player->setURL(media(QStringLiteral("untagged.ogg")));
    EXPECT_TRUE(waitFor(psPlaying));
}

INSTANTIATE_TEST_SUITE_P(Table, HostileFile, testing::ValuesIn(kHostileMedia),
                         testsupport::NameByWhat());

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
