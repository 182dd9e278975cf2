#include "announce/song_file.h"

#include "announce/format.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace announce {
namespace {

QByteArray lineOf(const QString& value) {
    return blankControls(value).toLocal8Bit() + "\r\n";
}

// A count as the engine gives it in text; null for anything but plain digits.
QJsonValue countOf(const QString& digits) {
    bool ok = !digits.isEmpty();
    for (QChar c : digits)
        ok = ok && c >= u'0' && c <= u'9';
    const qint64 n = ok ? digits.toLongLong(&ok) : 0;
    return ok ? QJsonValue(n) : QJsonValue(QJsonValue::Null);
}

} // namespace

QByteArray songFileBytes(const NowPlaying& track) {
    return lineOf(track.author) + lineOf(track.name) + lineOf(track.durationString) +
           lineOf(track.bitrate);
}

QByteArray songJsonBytes(const NowPlaying& track, bool paused, const QDateTime& startedAt) {
    const auto& s = track.seconds;
    const QJsonValue seconds = s && std::isfinite(*s) && *s >= 0
                                   ? QJsonValue(std::round(*s * 1000) / 1000)
                                   : QJsonValue(QJsonValue::Null);
    const QJsonObject json{
        {QStringLiteral("artist"), track.author},
        {QStringLiteral("title"), track.name},
        {QStringLiteral("album"), track.album},
        {QStringLiteral("year"), track.year},
        {QStringLiteral("genre"), track.genre},
        {QStringLiteral("track"), track.trackNumber},
        {QStringLiteral("station"), track.station},
        {QStringLiteral("duration"), seconds},
        {QStringLiteral("bitrate"), countOf(track.bitrate)},
        {QStringLiteral("size"), countOf(track.fileSize)},
        {QStringLiteral("path"), track.sourceURL},
        {QStringLiteral("type"), track.fileType},
        {QStringLiteral("state"), paused ? QStringLiteral("paused") : QStringLiteral("playing")},
        {QStringLiteral("started"),
         startedAt.toOffsetFromUtc(startedAt.offsetFromUtc()).toString(Qt::ISODateWithMs)},
    };
    return QJsonDocument(json).toJson(QJsonDocument::Indented);
}

} // namespace announce
