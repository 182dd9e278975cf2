#include "qt/hexchat_dbus.h"
#include "qt/irc_link_linux.h"
#include "support/case_name.h"
#include "support/peer_process.h"
#include "support/scoped_env.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;
using testsupport::ScopedEnv;

namespace {

const QString fakeHexchat = QString::fromUtf8(QT_TEST_DIR "/fake_hexchat.py");

// A private session bus with the fake HexChat on it; the link is pointed at that bus only.
class HexchatBus : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    void startFake(const QStringList& options = {}) {
        ASSERT_TRUE(fake.start(
            u"dbus-run-session"_s,
            QStringList{u"--"_s, u"/usr/bin/python3"_s, fakeHexchat, u"--log"_s, logPath()} +
                options,
            30000))
            << fake.earlierOutput().toStdString();
        ASSERT_EQ(fake.readyWords().size(), 1);
        bus = std::make_unique<ScopedEnv>("DBUS_SESSION_BUS_ADDRESS",
                                          fake.readyWords().first().toUtf8());
    }

    QString logPath() const { return dir.filePath(u"calls.log"_s); }

    QStringList calls() const {
        QFile log(logPath());
        if (!log.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(log.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }

    bool waitForCall(const QString& call) const {
        const QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired()) {
            if (calls().contains(call))
                return true;
            QThread::msleep(20);
        }
        return false;
    }

    QTemporaryDir dir;
    testsupport::PeerProcess fake;
    std::unique_ptr<ScopedEnv> bus;
};

struct CommandCase {
    const char* what;
    QString line;
    QString command;
};

class HexchatCommand : public testing::TestWithParam<CommandCase> {};

TEST_P(HexchatCommand, DropsTheSlashOrSaysPlainText) {
    EXPECT_EQ(announce::hexchatCommand(GetParam().line), GetParam().command);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, HexchatCommand,
    testing::Values(CommandCase{"command", u"/me слушает A"_s, u"me слушает A"_s},
                    CommandCase{"plain text", u"слушаю A"_s, u"say слушаю A"_s},
                    CommandCase{"blank before the slash", u" /exec x"_s, u"say  /exec x"_s},
                    CommandCase{"doubled slash", u"//me x"_s, u"/me x"_s},
                    CommandCase{"empty line", QString(), u"say "_s}),
    testsupport::NameByWhat());

TEST_F(HexchatBus, RunsTheCommandInTheFocusedTab) {
    startFake();
    ASSERT_TRUE(announce::sendToHexchat(u"/me слушает A - B [03:45]"_s));
    const QStringList got = calls();
    ASSERT_GE(got.size(), 4) << got.join(u'\n').toStdString();
    EXPECT_TRUE(got[0].startsWith(u"Connect\t"_s)) << got[0].toStdString();
    EXPECT_EQ(got[1], u"FindContext\t\t"_s);
    EXPECT_EQ(got[2], u"SetContext\t7"_s);
    EXPECT_EQ(got[3], u"Command\tme слушает A - B [03:45]"_s);
    EXPECT_TRUE(waitForCall(u"Disconnect"_s)) << "the remote object is released";
}

TEST_F(HexchatBus, SaysPlainText) {
    startFake();
    ASSERT_TRUE(announce::sendToHexchat(u"A - B"_s));
    EXPECT_TRUE(calls().contains(u"Command\tsay A - B"_s)) << calls().join(u'\n').toStdString();
}

TEST_F(HexchatBus, SendsNothingWhenTheTabIsGone) {
    startFake({u"--refuse-context"_s});
    EXPECT_FALSE(announce::sendToHexchat(u"/me x"_s));
    EXPECT_TRUE(calls().filter(u"Command"_s).isEmpty());
}

TEST_F(HexchatBus, GivesUpOnAHungClientWithinItsTimeLimit) {
    startFake({u"--hang"_s});
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(announce::sendToHexchat(u"/me x"_s));
    // The link promises to give up after about 5 s; libdbus alone would wait 25 s.
    EXPECT_LT(clock.elapsed(), 15000);
    EXPECT_TRUE(calls().contains(u"Command\tme x"_s));
}

TEST_F(HexchatBus, KeepsTheEventLoopRunningWhileAHungClientHoldsTheCall) {
    startFake({u"--hang"_s});
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(50);
    // A send from inside the wait goes after the one that is out.
    std::optional<bool> inner;
    QTimer::singleShot(0, [&] { inner = announce::sendToHexchat(u"/me второй"_s); });
    EXPECT_FALSE(announce::sendToHexchat(u"/me первый"_s));
    EXPECT_EQ(inner, false);
    EXPECT_GE(ticks, 20); // about 10 s of waiting; a blocked thread would not tick at all
    EXPECT_EQ(calls().filter(u"Command"_s),
              (QStringList{u"Command\tme первый"_s, u"Command\tme второй"_s}));
}

TEST_F(HexchatBus, SurvivesAMalformedAnswer) {
    startFake({u"--bad-path"_s});
    EXPECT_FALSE(announce::sendToHexchat(u"/me x"_s));
    EXPECT_TRUE(calls().filter(u"Command"_s).isEmpty());
}

TEST_F(HexchatBus, FailsWhenHexchatIsNotRunning) {
    startFake({u"--no-name"_s});
    EXPECT_FALSE(announce::sendToHexchat(u"/me x"_s));
    EXPECT_TRUE(calls().isEmpty());
}

TEST(HexchatNoBus, FailsWithoutASessionBus) {
    const ScopedEnv noAddress("DBUS_SESSION_BUS_ADDRESS", {});
    const ScopedEnv noRuntime("XDG_RUNTIME_DIR", {});
    EXPECT_FALSE(announce::sendToHexchat(u"/me x"_s));
}

// The platform link tries WeeChat's fifo first and HexChat only when no fifo takes the line.
class UnixLinkOrder : public HexchatBus {
protected:
    void SetUp() override {
        HexchatBus::SetUp();
        ASSERT_TRUE(QDir().mkpath(dir.filePath(u"weechat"_s)));
        env.emplace_back(std::make_unique<ScopedEnv>(
            "WEECHAT_HOME", QFile::encodeName(dir.filePath(u"weechat"_s))));
        env.emplace_back(
            std::make_unique<ScopedEnv>("HOME", QFile::encodeName(dir.filePath(u"home"_s))));
        env.emplace_back(std::make_unique<ScopedEnv>("XDG_RUNTIME_DIR", QByteArray()));
        env.emplace_back(std::make_unique<ScopedEnv>("XDG_CACHE_HOME", QByteArray()));
    }
    std::vector<std::unique_ptr<ScopedEnv>> env;
};

TEST_F(UnixLinkOrder, UsesHexchatWhenNoWeechatListens) {
    startFake();
    // A fifo left by a WeeChat that died.
    ASSERT_EQ(
        ::mkfifo(QFile::encodeName(dir.filePath(u"weechat/weechat_fifo_1"_s)).constData(), 0600),
        0);
    EXPECT_TRUE(announce::makeIrcLink()->send("/me x"));
    EXPECT_TRUE(calls().contains(u"Command\tme x"_s));
}

TEST_F(UnixLinkOrder, PrefersWeechatsFifo) {
    startFake();
    const QByteArray fifo = QFile::encodeName(dir.filePath(u"weechat/weechat_fifo_1"_s));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    const int reader = ::open(fifo.constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_TRUE(announce::makeIrcLink()->send("/me x"));
    char got[16] = {};
    EXPECT_EQ(::read(reader, got, sizeof got), 7);
    EXPECT_STREQ(got, "*/me x\n");
    ::close(reader);
    EXPECT_TRUE(calls().isEmpty());
}

TEST_F(UnixLinkOrder, FailsWhenNoClientAnswers) {
    startFake({u"--no-name"_s});
    EXPECT_FALSE(announce::makeIrcLink()->send("/me x"));
}

} // namespace
