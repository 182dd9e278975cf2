#include "support/media.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
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

} // namespace

QString longTitle() {
    const QString phrase = QStringLiteral("Очень длинное название. ");
    return phrase.repeated(64 * 1024 / phrase.toUtf8().size());
}

namespace {

bool writeText(const QString& path, const QString& text) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text.toUtf8()) == text.toUtf8().size();
}

QString beep(int i) {
    return QStringLiteral("beep%1.ogg").arg(i);
}

QString lines(const QStringList& entries) {
    return entries.join(u'\n') + u'\n';
}

// Short tracks and the lists built of them: for play order, expansion and nesting.
bool makeShortLists(const QString& d) {
    bool ok = ffmpeg(tone(0.3) +
                     QStringList{QStringLiteral("-c:a"), QStringLiteral("libvorbis"), d + beep(0)});
    for (int i = 1; i < 10; ++i)
        ok = ok && QFile::copy(d + beep(0), d + beep(i));
    ok = ok && QDir(d).mkpath(QStringLiteral("folder"));
    for (const char* name : {"a.ogg", "b.ogg", "c.ogg"})
        ok = ok && QFile::copy(d + beep(0), d + QStringLiteral("folder/") + QLatin1String(name));
    auto list = [&](const char* name, const QStringList& entries) {
        return writeText(d + QLatin1String(name), lines(entries));
    };
    ok = ok && list("one.m3u", {beep(0)});
    ok = ok && list("two.m3u", {beep(0), beep(1)});
    ok = ok && list("six.m3u", {beep(0), beep(1), beep(2), beep(3), beep(4), beep(5)});
    ok = ok && list("nested.m3u", {beep(0), QStringLiteral("inner.m3u"), beep(3)});
    ok = ok && list("inner.m3u", {beep(1), beep(2)});
    ok = ok && list("self.m3u", {beep(0), QStringLiteral("self.m3u"), beep(1)});
    ok = ok && list("cycle-a.m3u", {beep(0), QStringLiteral("cycle-b.m3u"), beep(1)});
    ok = ok && list("cycle-b.m3u", {beep(2), QStringLiteral("./cycle-a.m3u"), beep(3)});
    for (int level = 1; level <= 10; ++level) {
        QStringList entries{beep(level - 1)};
        if (level < 10)
            entries << QStringLiteral("deep%1.m3u").arg(level + 1);
        ok = ok && writeText(d + QStringLiteral("deep%1.m3u").arg(level), lines(entries));
    }
    return ok;
}

} // namespace

bool makeMedia(const QString& folder) {
    const QString d = folder + u'/';
    const QString vorbis = QStringLiteral("libvorbis");
    const QString ca = QStringLiteral("-c:a");
    bool ok = QDir(folder).mkpath(QStringLiteral("."));
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
    // A song carrying its cover: a picture the engine shows while it plays.
    ok = ok &&
         ffmpeg(tone(3) +
                QStringList{QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                            QStringLiteral("testsrc=size=160x120:rate=1:duration=1"),
                            QStringLiteral("-map"), QStringLiteral("0:a"), QStringLiteral("-map"),
                            QStringLiteral("1:v"), QStringLiteral("-c:v"), QStringLiteral("png"),
                            QStringLiteral("-disposition:v"), QStringLiteral("attached_pic"),
                            d + QStringLiteral("cover.mp3")});
    ok = ok && ffmpeg(tone(3) + tags(QStringLiteral("Ария"), longTitle()) +
                      QStringList{d + QStringLiteral("long-title.mp3")});
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
    ok = ok && makeShortLists(d);
    return ok;
}

namespace {

// Made by the test run's fixture (TUNELARK_TEST_MEDIA) or, for a test started by hand, here.
QString findOrMakeMedia() {
    const QString shared = qEnvironmentVariable("TUNELARK_TEST_MEDIA");
    if (!shared.isEmpty())
        return QFileInfo(shared).isDir() ? shared : QString();
    static QTemporaryDir own;
    return own.isValid() && makeMedia(own.path()) ? own.path() : QString();
}

} // namespace

QString mediaDir() {
    static const QString dir = findOrMakeMedia();
    if (dir.isEmpty())
        ADD_FAILURE() << "could not find or make the test media with ffmpeg";
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
