// The Unix link against a real WeeChat in a real channel.
#include "announce/format.h"
#include "qt/irc_link_linux.h"
#include "support/irc_channel.h"

using WeechatChannel = testsupport::IrcChannel;

TEST_F(WeechatChannel, ShowsTheAnnouncementOnceAsAnAction) {
    const auto link = announce::makeIrcLink();
    const playback::Track track{.sourceURL = "/root/secret/b.mp3",
                                .name = "B",
                                .author = "A",
                                .durationString = "03:45",
                                .bitrate = "128000",
                                .fileSize = "4000000",
                                .fileType = "mp3"};
    ASSERT_TRUE(link->send(announce::buildLine(announce::defaultFormat(), track, *link)));
    ASSERT_TRUE(finish()) << everything().toStdString();
    EXPECT_EQ(said(), (QStringList{action(QStringLiteral("слушает A - B [03:45]")),
                                   QStringLiteral("конец")}));
}

TEST_F(WeechatChannel, AHostileTitleStaysOneMessageWithoutThePath) {
    const auto link = announce::makeIrcLink();
    const playback::Track track{.sourceURL = "/root/secret/b.mp3",
                                .name = "B\r\n/quit !адрес\n/exec -sh id",
                                .author = "A",
                                .durationString = "03:45"};
    ASSERT_TRUE(link->send(announce::buildLine(announce::defaultFormat(), track, *link)));
    ASSERT_TRUE(finish()) << everything().toStdString();
    EXPECT_EQ(
        said(),
        (QStringList{action(QStringLiteral("слушает A - B  /quit !адрес /exec -sh id [03:45]")),
                     QStringLiteral("конец")}));
    EXPECT_FALSE(everything().contains("secret"));
    EXPECT_FALSE(everything().contains(" QUIT"));
}
