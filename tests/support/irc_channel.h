// A real channel for tests: irc_peers.py starts ngircd, an observer in #np and a headless
// WeeChat on 127.0.0.1, and the link of this process is pointed at that WeeChat only.
#pragma once

#include "qt/irc_link_linux.h"
#include "support/media.h"
#include "support/peer_process.h"
#include "support/scoped_env.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <memory>
#include <vector>

namespace testsupport {

class IrcChannel : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(peers.start(QStringLiteral("/usr/bin/python3"),
                                {QStringLiteral(TUNELARK_TESTS_DIR "/support/irc_peers.py"),
                                 QStringLiteral("serve"), QStringLiteral("--dir"), dir.path(),
                                 QStringLiteral("--max-seconds"), QStringLiteral("600")},
                                120000))
            << peers.earlierOutput().toStdString();
        ASSERT_EQ(peers.readyWords().size(), 3);
        observerLog = peers.readyWords()[1];
        // Only this WeeChat, and no HexChat to fall back on.
        setEnv("WEECHAT_HOME", peers.readyWords()[0].toUtf8());
        setEnv("HOME", dir.filePath(QStringLiteral("home")).toUtf8());
        setEnv("XDG_RUNTIME_DIR", QByteArray());
        setEnv("XDG_CACHE_HOME", QByteArray());
        setEnv("DBUS_SESSION_BUS_ADDRESS", QByteArray());
    }

    // Everything the observer received.
    QByteArray everything() const {
        QFile log(observerLog);
        return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
    }

    // What was said in #np, in order.
    QStringList said() const {
        QStringList texts;
        for (const QByteArray& line : everything().split('\n')) {
            const qsizetype at = line.indexOf(" PRIVMSG #np :");
            if (at >= 0)
                texts << QString::fromUtf8(line.sliced(at + 14).trimmed());
        }
        return texts;
    }

    // A last plain message: the server keeps one client's order, so once it is there,
    // everything sent before it is there too, and nothing more will come.
    bool finish() {
        if (!announce::makeIrcLink()->send("конец"))
            return false;
        return waitUntil(
            [&] { return !said().isEmpty() && said().back() == QStringLiteral("конец"); }, 30000);
    }

    static QString action(const QString& text) {
        return QChar(1) + QStringLiteral("ACTION ") + text + QChar(1);
    }

    QTemporaryDir dir;
    PeerProcess peers;
    QString observerLog;

private:
    void setEnv(const char* name, const QByteArray& value) {
        env.push_back(std::make_unique<ScopedEnv>(name, value));
    }
    std::vector<std::unique_ptr<ScopedEnv>> env;
};

} // namespace testsupport
