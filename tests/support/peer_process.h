// Starts a helper process (a fake client, a bus, IRC peers) for a test and waits, bounded, for
// the "ready" line it prints. Closing its standard input tells it to stop, so a test that dies
// still takes its helpers down with it.
#pragma once
#include <QDeadlineTimer>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace testsupport {

class PeerProcess {
public:
    PeerProcess() { process_.setProcessChannelMode(QProcess::ForwardedErrorChannel); }
    ~PeerProcess() { stop(); }
    PeerProcess(const PeerProcess&) = delete;
    PeerProcess& operator=(const PeerProcess&) = delete;

    // True once the process printed a line starting with "ready"; that line is kept.
    bool start(const QString& program, const QStringList& arguments, int timeoutMs) {
        process_.start(program, arguments);
        if (!process_.waitForStarted(timeoutMs))
            return false;
        const QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired()) {
            while (process_.canReadLine()) {
                const QString line = QString::fromUtf8(process_.readLine()).trimmed();
                if (line.startsWith(QLatin1String("ready"))) {
                    ready_ = line;
                    return true;
                }
                output_ += line + QLatin1Char('\n');
            }
            if (process_.state() != QProcess::Running)
                return false;
            process_.waitForReadyRead(int(qMin<qint64>(deadline.remainingTime(), 200)));
        }
        return false;
    }

    // One line to its standard input.
    bool writeLine(const QByteArray& line) {
        const QByteArray bytes = line + '\n';
        return process_.write(bytes) == bytes.size() && process_.waitForBytesWritten(5000);
    }

    // The words after "ready", split on blanks.
    QStringList readyWords() const { return ready_.split(QLatin1Char(' ')).mid(1); }
    QString earlierOutput() const { return output_; }

    void stop() {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.closeWriteChannel();
        if (!process_.waitForFinished(15000)) {
            process_.terminate();
            if (!process_.waitForFinished(5000)) {
                process_.kill();
                process_.waitForFinished(5000);
            }
        }
    }

private:
    QProcess process_;
    QString ready_;
    QString output_;
};

} // namespace testsupport
