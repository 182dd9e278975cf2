// The Unix link against a real WeeChat in a real channel.
#include "announce/format.h"
#include "support/irc_channel.h"

using WeechatChannel = testsupport::IrcChannel;

TEST_F(WeechatChannel, ShowsTheAnnouncementOnceAsAnAction) {
    const auto link = announce::makeIrcLink();
    const announce::NowPlaying track{
        QStringLiteral("A"),      QStringLiteral("B"),       QStringLiteral("03:45"),
        QStringLiteral("128000"), QStringLiteral("4000000"), QStringLiteral("/root/secret/b.mp3"),
        QStringLiteral("mp3")};
    ASSERT_TRUE(link->send(announce::buildLine(announce::defaultFormat(), track, *link)));
    ASSERT_TRUE(finish()) << everything().toStdString();
    EXPECT_EQ(said(), (QStringList{action(QStringLiteral("слушает A - B [03:45]")),
                                   QStringLiteral("конец")}));
}

TEST_F(WeechatChannel, AHostileTitleStaysOneMessageWithoutThePath) {
    const auto link = announce::makeIrcLink();
    const announce::NowPlaying track{QStringLiteral("A"),
                                     QStringLiteral("B\r\n/quit !адрес\n/exec -sh id"),
                                     QStringLiteral("03:45"),
                                     {},
                                     {},
                                     QStringLiteral("/root/secret/b.mp3"),
                                     {}};
    ASSERT_TRUE(link->send(announce::buildLine(announce::defaultFormat(), track, *link)));
    ASSERT_TRUE(finish()) << everything().toStdString();
    EXPECT_EQ(
        said(),
        (QStringList{action(QStringLiteral("слушает A - B  /quit !адрес /exec -sh id [03:45]")),
                     QStringLiteral("конец")}));
    EXPECT_FALSE(everything().contains("secret"));
    EXPECT_FALSE(everything().contains(" QUIT"));
}
