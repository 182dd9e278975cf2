// A web-radio station of our own on 127.0.0.1 (icy_station.py): an endless mp3 stream with ICY
// metadata, whose title the test changes.
#pragma once

#include "support/peer_process.h"

#include <QString>
#include <QStringList>

namespace testsupport {

class IcyStation {
public:
    // The station, its name sent as "icy-name", its first title, or one that never answers.
    bool start(const QString& name, const QString& title, bool hang = false) {
        QStringList args{QStringLiteral(TUNELARK_TESTS_DIR "/support/icy_station.py"),
                         QStringLiteral("--name"), name, QStringLiteral("--title"), title};
        if (hang)
            args << QStringLiteral("--hang");
        return process_.start(QStringLiteral("/usr/bin/python3"), args, 120000) &&
               process_.readyWords().size() == 1;
    }
    QString url() const {
        return QStringLiteral("http://127.0.0.1:%1/stream").arg(process_.readyWords().value(0));
    }
    // The title from the next metadata block on; Python escapes ("\\r", "\\xff") give any bytes.
    bool setTitle(const QByteArray& escaped) { return process_.writeLine("title " + escaped); }
    QString earlierOutput() const { return process_.earlierOutput(); }

private:
    PeerProcess process_;
};

} // namespace testsupport
