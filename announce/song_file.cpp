#include "announce/song_file.h"

#include "announce/format.h"

namespace announce {
namespace {

QByteArray lineOf(const QString& value) {
    return blankLineBreaks(value).toLocal8Bit() + "\r\n";
}

} // namespace

QByteArray songFileBytes(const NowPlaying& track) {
    return lineOf(track.author) + lineOf(track.name) + lineOf(track.durationString) +
           lineOf(track.bitrate);
}

} // namespace announce
