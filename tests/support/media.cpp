#include "support/media.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

namespace testsupport {

namespace {

bool ffmpeg(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral("ffmpeg"), QStringList{QStringLiteral("-loglevel"),
                                                  QStringLiteral("error"), QStringLiteral("-y")} +
                                          args);
    return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QStringList tone(double seconds) {
    return {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
            QStringLiteral("sine=frequency=440:duration=%1").arg(seconds)};
}

QStringList silence(double seconds) {
    return {QStringLiteral("-f"), QStringLiteral("lavfi"),
            QStringLiteral("-i"), QStringLiteral("anullsrc=r=8000:cl=mono"),
            QStringLiteral("-t"), QString::number(seconds)};
}

QStringList tags(const QString& artist, const QString& title) {
    return {QStringLiteral("-metadata"), QStringLiteral("artist=") + artist,
            QStringLiteral("-metadata"), QStringLiteral("title=") + title};
}

bool writeText(const QString& path, const QString& text) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text.toUtf8()) == text.toUtf8().size();
}

QString makeMedia() {
    static QTemporaryDir dir;
    const QString d = dir.path() + u'/';
    const QString vorbis = QStringLiteral("libvorbis");
    const QString ca = QStringLiteral("-c:a");
    bool ok = dir.isValid();
    ok = ok && ffmpeg(tone(5) + tags(QStringLiteral("Ария"), QStringLiteral("Беспечный ангел")) +
                      QStringList{QStringLiteral("-b:a"), QStringLiteral("128k"),
                                  d + QStringLiteral("tagged.mp3")});
    ok = ok &&
         ffmpeg(tone(3) + tags(QStringLiteral("Кино"), QStringLiteral("Звезда по имени Солнце")) +
                QStringList{ca, vorbis, d + QStringLiteral("upper.ogg")});
    ok = ok && ffmpeg(tone(3) + QStringList{ca, vorbis, d + QStringLiteral("untagged.ogg")});
    ok = ok && ffmpeg(tone(3) + QStringList{d + QStringLiteral("untagged.flac")}); // no bitrate
    ok = ok &&
         ffmpeg(silence(59.6) + QStringList{ca, vorbis, d + QStringLiteral("almost-minute.ogg")});
    ok = ok &&
         ffmpeg(silence(3725.4) + QStringList{ca, vorbis, d + QStringLiteral("over-hour.ogg")});
    ok = ok && ffmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                       QStringLiteral("testsrc=duration=20:size=320x240:rate=25"),
                       QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                       QStringLiteral("sine=frequency=440:duration=20"), QStringLiteral("-c:v"),
                       QStringLiteral("mpeg4"), ca, QStringLiteral("mp2"),
                       QStringLiteral("-shortest"), d + QStringLiteral("short.mkv")});
    ok = ok && QDir(d).mkpath(QStringLiteral("sub"));
    ok =
        ok && QFile::copy(d + QStringLiteral("untagged.ogg"), d + QStringLiteral("sub/second.ogg"));
    ok = ok && writeText(d + QStringLiteral("list.m3u"), QStringLiteral("#EXTM3U\n"
                                                                        "#EXTINF:5,Первая песня\n"
                                                                        "tagged.mp3\n"
                                                                        "sub/second.ogg\n"
                                                                        "#EXTINF:3,Third\n"
                                                                        "untagged.ogg\n"));
    ok = ok && writeText(d + QStringLiteral("list.pls"), QStringLiteral("[playlist]\n"
                                                                        "File1=untagged.ogg\n"
                                                                        "File2=tagged.mp3\n"
                                                                        "NumberOfEntries=2\n"
                                                                        "Version=2\n"));
    return ok ? dir.path() : QString();
}

} // namespace

QString mediaDir() {
    static const QString dir = makeMedia();
    if (dir.isEmpty())
        ADD_FAILURE() << "could not make the test media with ffmpeg";
    return dir;
}

QString media(const QString& name) {
    return mediaDir() + u'/' + name;
}

bool waitUntil(const std::function<bool()>& pred, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!pred()) {
        if (deadline.hasExpired())
            return false;
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

} // namespace testsupport

void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

void PrintTo(const QStringList& list, std::ostream* out) {
    *out << '[' << list.join(QStringLiteral(", ")).toStdString() << ']';
}
