// The engine wrapper over the real libmpv, headless (no video, no sound device).
#include "playback/media_player.h"
#include "support/media.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFileInfo>

using namespace playback;
using testsupport::media;
using testsupport::waitUntil;

namespace {

class Engine : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(testsupport::mediaDir().isEmpty());
        player = std::make_unique<MediaPlayer>(
            EngineOptions{std::nullopt, QString(), QStringLiteral("null")});
        ASSERT_TRUE(player->isRunning());
        QObject::connect(player.get(), &MediaPlayer::PlayStateChange,
                         [this](int s) { states.push_back(s); });
    }

    int count(int state) const { return int(std::count(states.begin(), states.end(), state)); }
    bool waitFor(int state, int times = 1) {
        return waitUntil([&] { return count(state) >= times; });
    }
    QStringList names() const {
        QStringList out;
        for (int i = 0; i < player->currentPlaylist.count(); ++i)
            out << player->currentPlaylist.Item(i)->name;
        return out;
    }

    std::unique_ptr<MediaPlayer> player;
    std::vector<int> states;
};

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

TEST_F(Engine, BrokenMediaNeverPlays) {
    const QString broken = testsupport::mediaDir() + QStringLiteral("/broken.mp3");
    QFile f(broken);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(4096, '\x5a'));
    f.close();
    player->setURL(broken);
    ASSERT_TRUE(waitFor(psStopped));
    EXPECT_EQ(count(psPlaying), 0);
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
