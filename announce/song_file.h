// The song file: what is playing, for other programs (streaming overlays poll it).
#pragma once
#include "announce/now_playing.h"

#include <QByteArray>

namespace announce {

// Exactly four CRLF-ended lines: author, name, duration text, bitrate, in the locale's 8-bit
// encoding. A line break inside a value becomes a blank so the file keeps its four lines.
QByteArray songFileBytes(const NowPlaying& track);

} // namespace announce
