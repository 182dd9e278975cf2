// A plain value snapshot of the current track, taken once per announcement.
#pragma once
#include <QString>

namespace announce {

struct NowPlaying {
    QString author;         // "Author" attribute
    QString name;           // display name (title)
    QString durationString; // "03:45"
    QString bitrate;        // bits per second as text, unconverted
    QString fileSize;       // bytes as text
    QString sourceURL;      // path or address
    QString fileType;       // e.g. "mp3"
};

} // namespace announce
