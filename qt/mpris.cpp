#include "qt/mpris.h"

#include "playback/play_state.h"
#include "qt/qt_text.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <algorithm>
#include <cmath>

using namespace Qt::Literals::StringLiterals;

namespace mpris {

QString playbackStatus(const QString& before, playback::PlayState NewState) {
    switch (NewState) {
    case playback::PlayState::Playing:
        return QStringLiteral("Playing");
    case playback::PlayState::Paused:
    case playback::PlayState::Ready: // loaded without starting
        return QStringLiteral("Paused");
    case playback::PlayState::Stopped:
        return QStringLiteral("Stopped");
    default:
        return before;
    }
}

QString loopStatus(bool repeat) {
    return repeat ? QStringLiteral("Playlist") : QStringLiteral("None");
}

std::optional<bool> repeatOf(const QString& loopStatus) {
    if (loopStatus == u"Playlist")
        return true;
    if (loopStatus == u"None")
        return false;
    return std::nullopt;
}

bool applies(const QString& property, const QVariant& value) {
    if (property == u"LoopStatus")
        return repeatOf(value.toString()).has_value();
    if (property == u"Rate")
        return value.toDouble() == 1.0;
    if (property == u"Volume")
        return !std::isnan(value.toDouble());
    return true;
}

double volumeOf(int volume) {
    return std::clamp(volume, 0, 100) / 100.0;
}

std::optional<int> controlVolume(double volume) {
    if (std::isnan(volume))
        return std::nullopt;
    return int(std::lround(std::clamp(volume, 0.0, 1.0) * 100));
}

QString trackId(qint64 entryId) {
    return entryId < 0 ? QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack")
                       : QStringLiteral("/org/tunelark/Track/%1").arg(entryId);
}

QVariantMap metadata(const playback::Track& track) {
    QVariantMap map{{QStringLiteral("mpris:trackid"), trackId(track.entryId)}};
    if (track.entryId < 0)
        return map;
    if (track.seconds && std::isfinite(*track.seconds) && *track.seconds >= 0)
        map.insert(QStringLiteral("mpris:length"), qlonglong(std::llround(*track.seconds * 1e6)));
    if (!track.name.empty())
        map.insert(QStringLiteral("xesam:title"), qtText(track.name));
    if (!track.author.empty())
        map.insert(QStringLiteral("xesam:artist"), QStringList{qtText(track.author)});
    if (!track.album.empty())
        map.insert(QStringLiteral("xesam:album"), qtText(track.album));
    if (!track.sourceURL.empty()) {
        const QString source = qtText(track.sourceURL);
        const QUrl url = source.contains(u"://")
                             ? QUrl(source)
                             : QUrl::fromLocalFile(QFileInfo(source).absoluteFilePath());
        map.insert(QStringLiteral("xesam:url"), url.toString(QUrl::FullyEncoded));
    }
    return map;
}

QString openableFile(const QString& uri) {
    const QUrl url(uri, QUrl::StrictMode);
    if (!url.isValid() || url.scheme() != u"file" || !url.query().isEmpty() ||
        !url.fragment().isEmpty())
        return {};
    if (!url.host().isEmpty() && url.host() != u"localhost")
        return {};
    QUrl local = url;
    local.setHost(QString());
    const QString path = local.toLocalFile();
    if (!QDir::isAbsolutePath(path) || path.contains(QChar(0)))
        return {};
    const QFileInfo info(path);
    // Judged by name: reading a file to tell could block on a device or a slow disk.
    static const QStringList kMedia = {
        u"mp3"_s,  u"mp2"_s,  u"mpa"_s, u"ogg"_s,  u"oga"_s, u"opus"_s, u"flac"_s,
        u"wav"_s,  u"m4a"_s,  u"aac"_s, u"mka"_s,  u"wma"_s, u"ape"_s,  u"wv"_s,
        u"aif"_s,  u"aiff"_s, u"ac3"_s, u"mpc"_s,  u"mp4"_s, u"m4v"_s,  u"mkv"_s,
        u"webm"_s, u"ogv"_s,  u"mpg"_s, u"mpeg"_s, u"avi"_s, u"mov"_s,  u"wmv"_s,
        u"flv"_s,  u"3gp"_s,  u"ts"_s,  u"m2ts"_s, u"m3u"_s, u"m3u8"_s, u"pls"_s};
    if (info.isDir() || (info.isFile() && kMedia.contains(info.suffix(), Qt::CaseInsensitive)))
        return path;
    return {};
}

std::optional<double> seekTarget(double position, qint64 offsetUs, std::optional<double> length) {
    const double target = std::max(0.0, position + double(offsetUs) / 1e6);
    if (length && target > *length)
        return std::nullopt;
    return target;
}

std::optional<double> positionTarget(const QString& currentTrackId, const QString& askedTrackId,
                                     qint64 positionUs, std::optional<double> length) {
    if (askedTrackId != currentTrackId || askedTrackId == trackId(-1) || positionUs < 0)
        return std::nullopt;
    const double seconds = double(positionUs) / 1e6;
    if (length && seconds > *length)
        return std::nullopt;
    return seconds;
}

QVariantMap changed(const QVariantMap& before, const QVariantMap& after) {
    QVariantMap out;
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        const auto was = before.constFind(it.key());
        if (was == before.cend() || *was != it.value())
            out.insert(it.key(), it.value());
    }
    return out;
}

QStringList supportedMimeTypes() {
    return {
        // audio
        QStringLiteral("audio/mpeg"),
        QStringLiteral("audio/ogg"),
        QStringLiteral("audio/vorbis"),
        QStringLiteral("audio/opus"),
        QStringLiteral("audio/flac"),
        QStringLiteral("audio/x-flac"),
        QStringLiteral("audio/wav"),
        QStringLiteral("audio/x-wav"),
        QStringLiteral("audio/mp4"),
        QStringLiteral("audio/aac"),
        QStringLiteral("audio/x-m4a"),
        QStringLiteral("audio/webm"),
        QStringLiteral("audio/x-matroska"),
        QStringLiteral("audio/x-ms-wma"),
        QStringLiteral("audio/x-ape"),
        QStringLiteral("audio/x-wavpack"),
        QStringLiteral("audio/x-aiff"),
        QStringLiteral("audio/ac3"),
        // video
        QStringLiteral("video/mp4"),
        QStringLiteral("video/x-matroska"),
        QStringLiteral("video/webm"),
        QStringLiteral("video/ogg"),
        QStringLiteral("video/mpeg"),
        QStringLiteral("video/x-msvideo"),
        QStringLiteral("video/quicktime"),
        QStringLiteral("video/x-ms-wmv"),
        QStringLiteral("video/x-flv"),
        QStringLiteral("video/3gpp"),
        QStringLiteral("video/mp2t"),
        // playlists
        QStringLiteral("audio/x-mpegurl"),
        QStringLiteral("audio/mpegurl"),
        QStringLiteral("application/vnd.apple.mpegurl"),
        QStringLiteral("audio/x-scpls"),
    };
}

} // namespace mpris
