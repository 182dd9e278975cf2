// A real WeeChat in a real channel: ngircd, an observer in #np and weechat-headless, all on
// 127.0.0.1, started by irc_peers.py.
#include "announce/format.h"
#include "announce/irc_link.h"
#include "support/peer_process.h"
#include "support/scoped_env.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using testsupport::ScopedEnv;

namespace {

const QString ircPeers = QString::fromUtf8(ANNOUNCE_TEST_DIR "/irc_peers.py");

class WeechatChannel : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(peers.start(
            u"/usr/bin/python3"_s,
            {ircPeers, u"serve"_s, u"--dir"_s, dir.path(), u"--max-seconds"_s, u"600"_s}, 120000))
            << peers.earlierOutput().toStdString();
        ASSERT_EQ(peers.readyWords().size(), 3);
        observerLog = peers.readyWords()[1];
        // Only this WeeChat, and no HexChat to fall back on.
        env.emplace_back(
            std::make_unique<ScopedEnv>("WEECHAT_HOME", peers.readyWords()[0].toUtf8()));
        env.emplace_back(std::make_unique<ScopedEnv>("HOME", dir.filePath(u"home"_s).toUtf8()));
        env.emplace_back(std::make_unique<ScopedEnv>("XDG_RUNTIME_DIR", QByteArray()));
        env.emplace_back(std::make_unique<ScopedEnv>("XDG_CACHE_HOME", QByteArray()));
        env.emplace_back(std::make_unique<ScopedEnv>("DBUS_SESSION_BUS_ADDRESS", QByteArray()));
    }

    // What was said in #np, in order.
    std::vector<std::string> said() const {
        QFile log(observerLog);
        if (!log.open(QIODevice::ReadOnly))
            return {};
        std::vector<std::string> texts;
        for (const QByteArray& line : log.readAll().split('\n')) {
            const qsizetype at = line.indexOf(" PRIVMSG #np :");
            if (at >= 0)
                texts.push_back(line.sliced(at + 14).toStdString());
        }
        return texts;
    }

    QByteArray everything() const {
        QFile log(observerLog);
        return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
    }

    // A last plain message: IRC keeps one client's order, so once it arrives, everything sent
    // before it has arrived too, and nothing more will.
    bool finish(announce::IrcLink& link) {
        if (!link.send(u"конец"_s))
            return false;
        const QDeadlineTimer deadline(30000);
        while (!deadline.hasExpired()) {
            if (const auto texts = said(); !texts.empty() && texts.back() == "конец")
                return true;
            QThread::msleep(50);
        }
        return false;
    }

    QTemporaryDir dir;
    testsupport::PeerProcess peers;
    QString observerLog;
    std::vector<std::unique_ptr<ScopedEnv>> env;
};

TEST_F(WeechatChannel, ShowsTheAnnouncementOnceAsAnAction) {
    const auto link = announce::makeIrcLink();
    const announce::NowPlaying track{
        u"A"_s, u"B"_s, u"03:45"_s, u"128000"_s, u"4000000"_s, u"/root/secret/b.mp3"_s, u"mp3"_s};
    ASSERT_TRUE(link->send(announce::buildLine(announce::defaultFormat(), track, *link)));
    ASSERT_TRUE(finish(*link)) << everything().toStdString();

    EXPECT_EQ(said(), (std::vector<std::string>{"\x01"
                                                "ACTION слушает A - B [03:45]\x01",
                                                "конец"}));
}

TEST_F(WeechatChannel, AHostileTitleStaysOneMessageWithoutThePath) {
    const auto link = announce::makeIrcLink();
    const announce::NowPlaying track{
        u"A"_s, u"B\r\n/quit !адрес\n/exec -sh id"_s, u"03:45"_s, {}, {}, u"/root/secret/b.mp3"_s,
        {}};
    ASSERT_TRUE(link->send(announce::buildLine(announce::defaultFormat(), track, *link)));
    ASSERT_TRUE(finish(*link)) << everything().toStdString();

    EXPECT_EQ(said(), (std::vector<std::string>{
                          "\x01"
                          "ACTION слушает A - B  /quit !адрес /exec -sh id [03:45]\x01",
                          "конец"}));
    EXPECT_FALSE(everything().contains("secret"));
    EXPECT_FALSE(everything().contains(" QUIT"));
}

} // namespace
