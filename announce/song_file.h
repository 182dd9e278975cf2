#pragma once

// The song files: what is playing, for other programs (stream overlays and status scripts poll
// them).

#include "announce/wall_time.h"
#include "playback/track.h"

#include <optional>
#include <string>
#include <string_view>

namespace announce {

// Exactly four CRLF-ended lines: author, name, duration text, bitrate, in the system's ANSI code
// page. Control characters in a value become blanks, so the file keeps its four lines.
std::string songFileBytes(const playback::Track& track);

// The same track as one UTF-8 JSON object, for overlays and scripts: "artist", "title", "album",
// "year", "genre", "track", "station", "path" and "type" as text (empty when unknown);
// "duration" in seconds, "bitrate" in bits per second and "size" in bytes as numbers (null when
// unknown); "state", "playing" or "paused"; and "started", when the track started, in ISO 8601
// with the offset from UTC. The keys in alphabetical order, one to a line.
std::string songJsonBytes(const playback::Track& track, bool paused, const WallTime& startedAt);

// A JSON string of the text, invalid UTF-8 made valid.
std::string jsonString(std::string_view value);
// Seconds to the millisecond, in the shortest text that reads back as the same number; null for
// none, a negative or a non-finite number.
std::string secondsOf(const std::optional<double>& seconds);

} // namespace announce
