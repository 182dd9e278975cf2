// The song file: what is playing, for other programs (streaming overlays poll it).
#pragma once
#include "announce/now_playing.h"

#include <QByteArray>
#include <QDateTime>

namespace announce {

// Exactly four CRLF-ended lines: author, name, duration text, bitrate, in the locale's 8-bit
// encoding. A line break inside a value becomes a blank so the file keeps its four lines.
QByteArray songFileBytes(const NowPlaying& track);

// The same track as one UTF-8 JSON object, for overlays and scripts: "artist", "title", "album",
// "year", "genre", "track", "station", "path" and "type" as text (empty when unknown);
// "duration" in seconds, "bitrate" in bits per second and "size" in bytes as numbers (null when
// unknown); "state", "playing" or "paused"; and "started", when the track started, in ISO 8601
// with the offset from UTC.
QByteArray songJsonBytes(const NowPlaying& track, bool paused, const QDateTime& startedAt);

} // namespace announce
