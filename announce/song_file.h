// The song file: what is playing, for other programs (streaming overlays poll it).
#pragma once
#include "announce/now_playing.h"

#include <QByteArray>
#include <QString>

namespace announce {

// Exactly four CRLF-ended lines: author, name, duration text, bitrate, in the locale's 8-bit
// encoding. A line break inside a value becomes a blank so the file keeps its four lines.
QByteArray songFileBytes(const NowPlaying& track);

// Replaces the file at path as a whole: a reader sees either the old or the new content, never
// an empty or half-written file. A read-only file is made writable and rewritten; a symbolic link
// is written through to its target. Returns false when the file cannot be written.
bool writeSongFile(const QString& path, const NowPlaying& track);

} // namespace announce
