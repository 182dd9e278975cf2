// A plain value snapshot of the current track, taken once per announcement.
#pragma once
#include <QString>

#include <optional>

namespace announce {

struct NowPlaying {
    QString author;         // "Author" attribute
    QString name;           // display name (title)
    QString durationString; // "03:45"
    QString bitrate;        // bits per second as text, unconverted
    QString fileSize;       // bytes as text
    QString sourceURL;      // path or address
    QString fileType;       // e.g. "mp3"
    QString album = {};
    QString year = {}; // "2003"
    QString genre = {};
    QString trackNumber = {};           // "3"
    QString station = {};               // a web radio's own name
    std::optional<double> seconds = {}; // the length; none for a live stream
};

// Whether two snapshots are of one track: the same item with the same artist and title. A web
// radio stays one item while its title moves on from track to track.
inline bool sameTrack(const NowPlaying& a, const NowPlaying& b) {
    return a.sourceURL == b.sourceURL && a.author == b.author && a.name == b.name;
}

} // namespace announce
