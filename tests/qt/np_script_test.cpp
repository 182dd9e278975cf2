// The WeeChat script's /np in a real WeeChat in a real channel, asking the real program on a
// private session bus what plays.
#include "qt/weechat_fifo.h"
#include "support/irc_channel.h"

#include <QProcess>

using namespace Qt::Literals::StringLiterals;
using testsupport::waitUntil;

namespace {

struct NpScript : testsupport::IrcChannel {
    void SetUp() override {
        bus.start(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address=1"_s});
        ASSERT_TRUE(waitUntil([&] { return bus.canReadLine(); }, 10000)) << "no bus";
        env.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, QString::fromUtf8(bus.readLine().trimmed()));
        // WeeChat asks on the same bus.
        weechatBus.emplace("DBUS_SESSION_BUS_ADDRESS",
                           env.value(u"DBUS_SESSION_BUS_ADDRESS"_s).toUtf8());
        IrcChannel::SetUp();
        ASSERT_TRUE(QFile::copy(QStringLiteral(TUNELARK_PROGRAM), exe));
        QFile ini(dir.filePath(u"mirc.ini"_s));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly) &&
                    ini.write("[Tunelark]\r\nAutoStart=True\r\nRepeat=True\r\n") > 0);
        env.insert(u"WEECHAT_HOME"_s, dir.path()); // the program itself tells no one
        env.insert(u"XDG_CONFIG_HOME"_s, dir.filePath(u"config"_s));
    }
    void typed(const QString& command) const {
        ASSERT_FALSE(
            announce::sendToWeechatFifo(command, announce::WeechatPlaces::fromEnvironment())
                .isEmpty());
    }
    void run(QProcess& p, const QString& command, const QStringList& args) {
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(dir.path());
        p.start(command, args);
    }
    // The player's Line as busctl prints it; empty while no player answers.
    QString line() {
        QProcess busctl;
        run(busctl, u"busctl"_s,
            {u"--user"_s, u"get-property"_s, u"org.tunelark.Player"_s, u"/org/tunelark/Player"_s,
             u"org.tunelark.Player"_s, u"Line"_s});
        busctl.waitForFinished(10000);
        return QString::fromUtf8(busctl.readAllStandardOutput()).trimmed();
    }

    QProcess bus, program; // killed as the test ends
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    std::optional<testsupport::ScopedEnv> weechatBus;
    const QString exe = dir.filePath(u"tunelark"_s);
};

} // namespace

TEST_F(NpScript, SaysWhatPlaysAsOneActionAndNothingWhileNothingPlays) {
    typed(u"/python load " TUNELARK_WEECHAT_SCRIPT ""_s);
    typed(u"/np"_s); // no player on the bus
    run(program, exe, {});
    ASSERT_TRUE(waitUntil([&] { return line() == u"s \"\""_s; }, 20000)) << "nothing loaded";
    typed(u"/np"_s);

    QProcess later; // hands the file to the first copy
    run(later, exe, {testsupport::media(u"tagged.mp3"_s)});
    ASSERT_TRUE(later.waitForFinished(20000));
    ASSERT_TRUE(waitUntil([&] { return line().startsWith(u"s \"/me"_s); }, 20000));
    typed(u"/np"_s);
    ASSERT_TRUE(waitUntil([&] { return !said().isEmpty(); }, 20000)) << everything().toStdString();
    ASSERT_TRUE(finish()) << everything().toStdString();
    EXPECT_EQ(said(),
              (QStringList{action(u"слушает Ария - Беспечный ангел [00:05]"_s), u"конец"_s}));
}
