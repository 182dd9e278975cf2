// The engine over the real libmpv, headless (no video, no sound device).
#include "qt/mpv_engine.h"

#include "playback/play_state.h"
#include "support/case_name.h"
#include "support/icy_station.h"
#include "support/media.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <optional>

using namespace playback;
using playback::Track;
using testsupport::media;
using testsupport::waitUntil;

namespace {

// Records what the engine reports: its states, the base name of each entry that starts, each
// new title of a web radio, and each change of its list by itself.
struct Recorder final : player::EngineListener {
    MpvEngine* engine = nullptr;
    std::vector<PlayState> states;
    QStringList started;
    std::vector<Track> titles;
    std::vector<QStringList> lists; // the names at each change

    void playStateChanged(PlayState state, const Track& item) override {
        states.push_back(state);
        if (state == PlayState::Playing)
            started << QFileInfo(QString::fromStdString(engine->currentTrack().sourceURL))
                           .completeBaseName();
        if (state == PlayState::Playing)
            lastStart = item;
    }
    void titleChanged(const Track& item) override { titles.push_back(item); }
    void playlistChanged() override {
        lists.emplace_back();
        for (const auto& entry : engine->entries())
            lists.back() << QString::fromStdString(entry.name);
    }
    void volumeChanged(int) override {}
    void seeked(double) override {}
    Track lastStart;
};

std::string local(const QString& path) {
    return path.toStdString();
}

class Engine : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(testsupport::mediaDir().isEmpty());
        fresh();
    }
    // A new engine, with nothing seen yet.
    void fresh() {
        player.reset();
        rec = Recorder();
        player = std::make_unique<MpvEngine>(MpvEngine::Options{std::nullopt, {}, "null"});
        ASSERT_TRUE(player->isRunning());
        rec.engine = player.get();
        player->setListener(&rec);
    }

    int count(PlayState state) const {
        return int(std::count(rec.states.begin(), rec.states.end(), state));
    }
    bool waitFor(PlayState state, int times = 1, int timeoutMs = 15000) {
        return waitUntil([&] { return count(state) >= times; }, timeoutMs);
    }
    // Something played, and then the engine stopped by itself.
    bool waitForTheEnd() {
        return waitUntil(
            [&] { return !rec.started.isEmpty() && rec.states.back() == PlayState::Stopped; });
    }
    QStringList names() const {
        QStringList out;
        for (const auto& entry : player->entries())
            out << QString::fromStdString(entry.name);
        return out;
    }
    void open(const QString& file) { player->setURL(local(file)); }
    QStringList firstListed() const { return rec.lists.empty() ? names() : rec.lists.front(); }
    // A list on disk comes in parts.
    bool openList(const QString& file, std::size_t entries) {
        open(file);
        return waitUntil([&] { return player->entries().size() == entries; }, 30000);
    }
    Track now() const { return player->currentTrack(); }
    const player::Entry& item(int i) const { return player->entries().at(std::size_t(i)); }

    std::unique_ptr<MpvEngine> player;
    Recorder rec;
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

// A list of count entries at path, entry i on the line lineOf(i); false when it cannot be written.
bool writeList(const QString& path, int count, const std::function<QByteArray(int)>& lineOf) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QByteArray text;
    for (int i = 0; i < count; ++i)
        text += lineOf(i) + '\n';
    return f.write(text) == text.size();
}

QByteArray missing(int i) {
    return "missing/" + QByteArray::number(i) + ".ogg";
}

} // namespace

TEST_F(Engine, ListsEntriesAsSoonAsTheUrlIsSet) {
    // A list may name files and the web, not what the engine opens only when told directly.
    QTemporaryDir dir;
    const QString reaching = dir.filePath(QStringLiteral("reaching.m3u"));
    QFile f(reaching);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("http://127.0.0.1:1/radio.mp3\nav://lavfi:sine\nfd://0\n" +
            media(QStringLiteral("beep0.ogg")).toUtf8() + '\n');
    f.close();
    struct Case {
        QString file;
        QStringList names;
    };
    const Case cases[] = {
        {media(QStringLiteral("tagged.mp3")), {QStringLiteral("tagged")}},
        {media(QStringLiteral("list.m3u")),
         {QStringLiteral("Первая песня"), QStringLiteral("second"), QStringLiteral("Third")}},
        {media(QStringLiteral("list.pls")), {QStringLiteral("untagged"), QStringLiteral("tagged")}},
        {reaching, {QStringLiteral("radio"), QStringLiteral("beep0")}},
    };
    for (const auto& c : cases) {
        open(c.file);
        EXPECT_TRUE(waitUntil([&] { return names() == c.names; })) << c.file.toStdString();
    }
    // Relative entries resolve beside the playlist file.
    ASSERT_TRUE(openList(media(QStringLiteral("list.m3u")), 3));
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(item(1).sourceURL)));
    EXPECT_EQ(player->entries().size(), 3u);
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
        rec.states.clear();
        open(media(c.file));
        ASSERT_TRUE(waitFor(PlayState::Playing));
        // The track as the start reported it, and as it reads now.
        for (const Track& t : {rec.lastStart, now()}) {
            EXPECT_EQ(t.sourceURL, local(media(c.file)));
            EXPECT_EQ(t.entryId, item(0).id);
            EXPECT_EQ(t.author, local(c.author));
            EXPECT_EQ(t.name, local(c.name));
            EXPECT_EQ(t.durationString, local(c.duration));
            if (!c.bitrate.isEmpty()) {
                EXPECT_EQ(t.bitrate, local(c.bitrate));
            }
            EXPECT_EQ(t.fileSize, std::to_string(QFileInfo(media(c.file)).size()));
            EXPECT_EQ(t.fileType, local(c.type));
        }
    }
}

TEST_F(Engine, PlaylistTitleNamesTheTrackWithoutATitleTag) {
    open(media(QStringLiteral("list.m3u")));
    ASSERT_TRUE(waitFor(PlayState::Playing));
    EXPECT_EQ(QString::fromStdString(now().name),
              QStringLiteral("Беспечный ангел")); // the tag wins
    player->playItem(item(2));
    ASSERT_TRUE(waitUntil([&] {
        return QString::fromStdString(now().sourceURL) == media(QStringLiteral("untagged.ogg"));
    }));
    EXPECT_EQ(QString::fromStdString(now().name), QStringLiteral("Third"));
}

TEST_F(Engine, ReadsNothingWhenNothingIsLoaded) {
    const Track nothing = now();
    EXPECT_TRUE(nothing.empty());
    EXPECT_EQ(nothing.entryId, -1);
    EXPECT_EQ(nothing.author + nothing.name + nothing.durationString + nothing.bitrate +
                  nothing.fileSize + nothing.fileType,
              "");
    EXPECT_EQ(int(player->entries().size()), 0);
    player->play(); // nothing to play: no effect, no crash
    player->playItem(player::Entry{});
    EXPECT_EQ(count(PlayState::Playing), 0);
}

TEST_F(Engine, AutoStartOffLoadsPausedUntilPlay) {
    player->setAutoStart(false);
    open(media(QStringLiteral("tagged.mp3")));
    ASSERT_TRUE(waitFor(PlayState::Ready));
    EXPECT_EQ(count(PlayState::Playing), 0);
    player->play();
    ASSERT_TRUE(waitFor(PlayState::Playing));
    EXPECT_EQ(count(PlayState::Playing), 1);
}

TEST_F(Engine, PauseAndResumeReportPlayingAgain) {
    open(media(QStringLiteral("tagged.mp3")));
    ASSERT_TRUE(waitFor(PlayState::Playing));
    player->pause();
    ASSERT_TRUE(waitFor(PlayState::Paused));
    player->play();
    ASSERT_TRUE(waitFor(PlayState::Playing, 2));
}

TEST_F(Engine, StopThenPlayRestartsTheCurrentEntry) {
    ASSERT_TRUE(openList(media(QStringLiteral("list.m3u")), 3));
    ASSERT_TRUE(waitFor(PlayState::Playing));
    player->playItem(item(2));
    ASSERT_TRUE(waitFor(PlayState::Playing, 2));
    ASSERT_EQ(QString::fromStdString(now().sourceURL), media(QStringLiteral("untagged.ogg")));
    player->stop();
    ASSERT_TRUE(waitFor(PlayState::Stopped));
    EXPECT_EQ(int(player->entries().size()), 3);
    const int before = count(PlayState::Playing);
    player->play();
    ASSERT_TRUE(waitFor(PlayState::Playing, before + 1));
    EXPECT_EQ(QString::fromStdString(now().sourceURL), media(QStringLiteral("untagged.ogg")));
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
        player->setLoop(c.repeat);
        player->setShuffle(c.onAt == 0);
        open(media(QLatin1String(c.list)));
        if (c.onAt > 0) {
            ASSERT_TRUE(waitUntil([&] { return rec.started.size() >= c.onAt; }));
            player->setShuffle(true);
        }
        if (c.offAt > 0) {
            ASSERT_TRUE(waitUntil([&] { return rec.started.size() >= c.offAt; }));
            player->setShuffle(false);
        }
        const QStringList all = beeps(0, c.entries);
        if (c.repeat) {
            ASSERT_TRUE(waitUntil([&] { return rec.started.size() >= 2 * c.entries; }, 30000));
            EXPECT_EQ(sorted(rec.started.mid(0, c.entries)), all);
            EXPECT_EQ(sorted(rec.started.mid(c.entries, c.entries)), all);
            continue;
        }
        ASSERT_TRUE(waitForTheEnd()) << rec.started.join(u' ').toStdString();
        if (c.offAt > 0) {
            // From the track playing when it went off, on in list order to the end.
            const int at = all.indexOf(rec.started[c.offAt - 1]);
            EXPECT_EQ(rec.started.mid(c.offAt), all.mid(at + 1));
            continue;
        }
        EXPECT_EQ(sorted(rec.started), all) << rec.started.join(u' ').toStdString();
        EXPECT_EQ(rec.started.mid(0, c.onAt), all.mid(0, c.onAt));
    }
}

TEST_F(Engine, RandomStartsAnOpenAnywhereInTheList) {
    player->setShuffle(true);
    QStringList firsts;
    // Each Open but the first replaces a list that is playing.
    for (int opened = 0; opened < 9; ++opened) {
        rec.started.clear();
        open(media(QStringLiteral("six.m3u")));
        ASSERT_TRUE(waitUntil([&] { return !rec.started.isEmpty(); }));
        if (opened > 0)
            firsts << rec.started.first();
    }
    firsts.removeDuplicates();
    EXPECT_GT(firsts.size(), 1) << "every Open rec.started with " << firsts.first().toStdString();
}

TEST_F(Engine, RandomNextPlaysWhatThePassHasLeftAndPreviousGoesBack) {
    player->setShuffle(true);
    open(media(QStringLiteral("list.m3u"))); // tracks of 3 s and more
    ASSERT_TRUE(waitUntil([&] { return rec.started.size() == 1; }));
    for (qsizetype n : {2, 3}) {
        player->next();
        ASSERT_TRUE(waitUntil([&] { return rec.started.size() == n; }));
    }
    EXPECT_EQ(sorted(rec.started), (QStringList{QStringLiteral("second"), QStringLiteral("tagged"),
                                                QStringLiteral("untagged")}));
    player->previous();
    ASSERT_TRUE(waitUntil([&] { return rec.started.size() == 4; }));
    EXPECT_EQ(rec.started[3], rec.started[1]);
}

TEST_F(Engine, ShuffleKeepsTheListOrderAndTheTrackPlaying) {
    ASSERT_TRUE(openList(media(QStringLiteral("list.m3u")), 3));
    const QStringList order = names();
    ASSERT_TRUE(waitFor(PlayState::Playing));
    const QString playing = QString::fromStdString(now().sourceURL);
    const int transitions = count(PlayState::Transitioning);
    player->setShuffle(true);
    EXPECT_EQ(names(), order);
    EXPECT_EQ(QString::fromStdString(now().sourceURL), playing);
    // Entry i still means the same track.
    for (int i : {2, 1, 0}) {
        const player::Entry entry = item(i);
        const int starts = count(PlayState::Playing);
        player->playItem(entry);
        ASSERT_TRUE(waitFor(PlayState::Playing, starts + 1));
        EXPECT_EQ(now().sourceURL, entry.sourceURL);
    }
    EXPECT_GT(count(PlayState::Transitioning), transitions);
    player->setShuffle(false);
    EXPECT_EQ(names(), order);
}

TEST_F(Engine, EntriesExpandedWhenReachedJoinTheListInPlace) {
    // A folder the engine expands, given alone or inside a list whose titles outlast it.
    QTemporaryDir dir;
    const QString list = dir.filePath(QStringLiteral("with-folder.m3u"));
    QFile f(list);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write((QStringLiteral("#EXTINF:1,Начало\n") + media(QStringLiteral("beep0.ogg")) + u'\n' +
             media(QStringLiteral("folder")) + u'\n' + media(QStringLiteral("beep3.ogg")) + u'\n')
                .toUtf8());
    f.close();
    struct Case {
        QString target;
        QStringList before, after;
    };
    const Case cases[] = {
        {media(QStringLiteral("folder")),
         {QStringLiteral("folder")},
         {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}},
        {list,
         {QStringLiteral("Начало"), QStringLiteral("folder"), QStringLiteral("beep3")},
         {QStringLiteral("Начало"), QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"),
          QStringLiteral("beep3")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target.toStdString());
        fresh();
        open(c.target);
        // Listed at once, or as the list came in: before the engine reached the folder.
        ASSERT_TRUE(waitUntil([&] { return !firstListed().isEmpty(); }));
        EXPECT_EQ(firstListed(), c.before);
        ASSERT_TRUE(waitUntil([&] { return names() == c.after; }));
        EXPECT_EQ(names(), c.after);
        // Entry i is the i-th of the list as it is now.
        for (int i : {2, 0}) {
            player->stop();
            ASSERT_TRUE(waitUntil([&] { return rec.states.back() == PlayState::Stopped; }));
            rec.started.clear();
            player->playItem(item(i));
            ASSERT_TRUE(waitUntil([&] { return !rec.started.isEmpty(); }));
            EXPECT_EQ(rec.started.first(),
                      QFileInfo(QString::fromStdString(item(i).sourceURL)).completeBaseName());
            EXPECT_EQ(names()[i], c.after[i]);
        }
        EXPECT_EQ(std::count(rec.lists.begin(), rec.lists.end(), c.after), 1);
    }
}

TEST_F(Engine, ListsThatIncludeThemselvesOrNestTooDeepStillPlayTheRest) {
    struct Case {
        QString list;
        QStringList plays;
        int entries; // at the end: the lists left out are not listed
    };
    const Case cases[] = {
        {QStringLiteral("self.m3u"), beeps(0, 2), 2},
        {QStringLiteral("cycle-a.m3u"),
         {QStringLiteral("beep0"), QStringLiteral("beep2"), QStringLiteral("beep3"),
          QStringLiteral("beep1")},
         4},
        // Eight levels of lists play; the ninth level does not.
        {QStringLiteral("deep1.m3u"), beeps(0, 8), 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.list.toStdString());
        fresh();
        open(media(c.list));
        ASSERT_TRUE(waitForTheEnd()) << rec.started.join(u' ').toStdString();
        EXPECT_EQ(rec.started, c.plays);
        EXPECT_EQ(int(player->entries().size()), c.entries);
    }
}

// The head is valid UTF-8 and starts "Песня" (59.6 s); a CP1251 byte past it makes the whole list
// CP1251, whose first entry names nothing. The list as a whole is what stays, and plays.
TEST_F(Engine, AListWhoseHeadReadsOtherwiseKeepsOnlyTheWholeListsEntries) {
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::copy(media(QStringLiteral("almost-minute.ogg")),
                            dir.filePath(QStringLiteral("Песня.ogg"))));
    const QString list = dir.filePath(QStringLiteral("mixed.m3u"));
    QFile f(list);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral("Песня.ogg\n#").toUtf8() + QByteArray(20000, 'x') + '\n' +
            media(QStringLiteral("beep0.ogg")).toUtf8() + "\n\xcf.ogg\n");
    f.close();
    ASSERT_TRUE(openList(list, 3));
    ASSERT_TRUE(waitForTheEnd());
    EXPECT_EQ(rec.started.last(), QStringLiteral("beep0"));
    EXPECT_EQ(int(player->entries().size()), 3);
}

TEST_F(Engine, ALongRunOfMissingEntriesLeavesTheEventLoopRunning) {
    if (testsupport::kSanitized)
        GTEST_SKIP() << "a list of 100,000 entries takes minutes under the sanitizers";

    // 100,000 entries, the first 3,000 of them missing, then a real one.
    QTemporaryDir dir;
    const QString list = dir.filePath(QStringLiteral("big.m3u"));
    const QByteArray beep = media(QStringLiteral("beep0.ogg")).toUtf8();
    ASSERT_TRUE(writeList(list, 100000, [&](int i) { return i == 3000 ? beep : missing(i); }));

    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(0);
    const int before = ticks;
    ASSERT_TRUE(openList(list, 100000));
    ASSERT_TRUE(waitFor(PlayState::Playing, 1, 60000));
    EXPECT_EQ(rec.started, QStringList{QStringLiteral("beep0")});
    EXPECT_GT(ticks - before, 50) << "the engine's events kept the event loop busy";
}

TEST_F(Engine, AHundredThousandMissingEntriesAndTheListItselfAreShownWholeAndPassedOver) {
    if (testsupport::kSanitized)
        GTEST_SKIP() << "a list of 100,000 entries takes minutes under the sanitizers";

    // 100,000 entries: the list naming itself first, after 1,000 missing files and last, one
    // real track after 2,000 missing files, every other entry missing. The list is shown at once
    // without the three that name itself; the engine passes over the missing files to the
    // track, and the event loop keeps turning meanwhile. (Going on through all of them takes
    // over a minute here: the window stays free all the while.)
    QTemporaryDir dir;
    const QString list = dir.filePath(QStringLiteral("hostile.m3u"));
    const QByteArray beep = media(QStringLiteral("beep0.ogg")).toUtf8();
    ASSERT_TRUE(writeList(list, 100000, [&](int i) {
        if (i == 0 || i == 1001 || i == 99999)
            return QByteArray("hostile.m3u");
        return i == 2002 ? beep : missing(i);
    }));

    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout,
                     [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
    sinceTick.start();
    ticker.start(5);
    ASSERT_TRUE(openList(list, 99997));
    ASSERT_TRUE(waitFor(PlayState::Playing, 1, 60000));
    EXPECT_EQ(rec.started, QStringList{QStringLiteral("beep0")});
    EXPECT_EQ(int(player->entries().size()), 99997);
    EXPECT_LT(longestGap, 1000) << "the window waited on the engine";
}

TEST_F(Engine, AListOpenedWhileALongOneComesInHasOnlyItsOwnEntries) {
    if (testsupport::kSanitized)
        GTEST_SKIP() << "a list of 100,000 entries takes minutes under the sanitizers";

    QTemporaryDir dir;
    const QString big = dir.filePath(QStringLiteral("big.m3u"));
    ASSERT_TRUE(writeList(big, 100000, missing));
    open(big);
    ASSERT_TRUE(waitUntil([&] { return !player->entries().empty(); }));
    ASSERT_TRUE(openList(media(QStringLiteral("list.m3u")), 3));
    ASSERT_TRUE(waitForTheEnd());
    EXPECT_EQ(sorted(rec.started), (QStringList{QStringLiteral("second"), QStringLiteral("tagged"),
                                                QStringLiteral("untagged")}));
    EXPECT_EQ(int(player->entries().size()), 3);
}

// Stop given while a long list is still being read: its first entry must not start after it.
TEST_F(Engine, StopBeforeALongListStartsKeepsItStoppedUntilPlay) {
    if (testsupport::kSanitized)
        GTEST_SKIP() << "a list of 100,000 entries takes minutes under the sanitizers";

    QTemporaryDir dir;
    const QString big = dir.filePath(QStringLiteral("big.m3u"));
    const QByteArray beep = media(QStringLiteral("beep0.ogg")).toUtf8();
    ASSERT_TRUE(writeList(big, 100000, [&](int) { return beep; }));
    open(big);
    player->stop();
    ASSERT_TRUE(waitUntil([&] { return player->entries().size() == 100000; }, 60000));
    EXPECT_TRUE(rec.started.isEmpty());
    player->play();
    EXPECT_TRUE(waitFor(PlayState::Playing));
}

TEST_F(Engine, VolumeStaysWithinItsRange) {
    const std::pair<int, int> cases[] = {{30, 30}, {150, 100}, {-4, 0}, {100, 100}};
    for (auto [set, want] : cases) {
        player->setVolume(set);
        EXPECT_EQ(player->volume(), want) << set;
    }
}

// The picture a song carries comes out as PNG; a song without one has none.
TEST_F(Engine, TakesTheCoverASongCarries) {
    QTemporaryDir dir;
    const std::string png = local(dir.filePath(QStringLiteral("cover.png")));
    std::optional<bool> saved;
    const auto take = [&] {
        saved.reset();
        player->saveCover(png, [&](bool taken) { saved = taken; });
        return waitUntil([&] { return saved.has_value(); }) && *saved;
    };
    open(media(QStringLiteral("tagged.mp3")));
    ASSERT_TRUE(waitFor(PlayState::Playing));
    EXPECT_FALSE(take());
    open(media(QStringLiteral("cover.mp3")));
    ASSERT_TRUE(waitFor(PlayState::Playing, 2));
    ASSERT_TRUE(take());
    QFile taken(QString::fromStdString(png));
    EXPECT_TRUE(taken.open(QIODevice::ReadOnly));
    EXPECT_EQ(taken.read(8), QByteArray("\x89PNG\r\n\x1A\n"));
}

TEST_F(Engine, EmptyUrlUnloadsAndAMissingFileEndsStopped) {
    open(media(QStringLiteral("tagged.mp3")));
    ASSERT_TRUE(waitFor(PlayState::Playing));
    open(QString());
    ASSERT_TRUE(waitFor(PlayState::Stopped));
    EXPECT_TRUE(now().empty());
    EXPECT_TRUE(player->entries().empty());

    open(media(QStringLiteral("missing.mp3")));
    ASSERT_TRUE(waitFor(PlayState::Stopped, 2));
    EXPECT_EQ(count(PlayState::Playing), 1);
}

TEST_F(Engine, AWebRadioTellsEachNewTitleOnceAsANewTrack) {
    testsupport::IcyStation station;
    ASSERT_TRUE(
        station.start(QStringLiteral("Tunelark FM"), QStringLiteral("Ария - Беспечный ангел")))
        << station.earlierOutput().toStdString();
    const std::vector<Track>& titles = rec.titles;
    open(station.url());
    ASSERT_TRUE(waitFor(PlayState::Playing, 1, 30000));
    const Track& first = rec.lastStart;
    EXPECT_EQ(first.author, "Ария");
    EXPECT_EQ(first.name, "Беспечный ангел");
    EXPECT_EQ(first.station, "Tunelark FM");
    EXPECT_EQ(first.sourceURL, local(station.url()));
    EXPECT_EQ(first.fileType, "mp3");
    EXPECT_EQ(first.bitrate, "128000");
    // Live: no length, no size; what the engine has received so far is none.
    EXPECT_EQ(first.durationString, "");
    EXPECT_FALSE(first.seconds.has_value());
    EXPECT_EQ(first.fileSize, "");

    const struct {
        QByteArray sent;
        std::string author, name;
    } changes[] = {
        {"Позывные станции", {}, "Позывные станции"},
        {"Кино - Группа крови", "Кино", "Группа крови"},
    };
    for (const auto& c : changes) {
        const size_t before = titles.size();
        ASSERT_TRUE(station.setTitle(c.sent));
        ASSERT_TRUE(waitUntil([&] { return titles.size() > before; }, 30000)) << c.sent.data();
        ASSERT_EQ(titles.size(), before + 1); // the same title again in every block is no news
        EXPECT_EQ(titles.back().author, c.author);
        EXPECT_EQ(titles.back().name, c.name);
        EXPECT_EQ(titles.back().station, "Tunelark FM");
    }
    EXPECT_EQ(count(PlayState::Playing), 1); // still the one start of play
}

TEST_F(Engine, AStationThatNeverAnswersHoldsNothingUp) {
    testsupport::IcyStation station;
    ASSERT_TRUE(station.start(QStringLiteral("Hung"), {}, true));
    open(station.url());
    EXPECT_EQ(QString::fromStdString(now().durationString), QString());
    open(media(QStringLiteral("tagged.mp3")));
    ASSERT_TRUE(waitFor(PlayState::Playing));
    EXPECT_EQ(rec.lastStart.sourceURL, local(media(QStringLiteral("tagged.mp3"))));
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
    open(file);
    if (c.plays) {
        ASSERT_TRUE(waitFor(PlayState::Playing));
        if (!c.bytes) {
            EXPECT_EQ(now().name, local(testsupport::longTitle()));
        }
    }
    ASSERT_TRUE(waitFor(PlayState::Stopped));
    EXPECT_EQ(count(PlayState::Playing), c.plays ? 1 : 0);

    rec.states.clear();
    open(media(QStringLiteral("untagged.ogg")));
    EXPECT_TRUE(waitFor(PlayState::Playing));
}

INSTANTIATE_TEST_SUITE_P(Table, HostileFile, testing::ValuesIn(kHostileMedia),
                         testsupport::NameByWhat());

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
