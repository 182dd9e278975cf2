#pragma once

// Builds the announcement line from the user's format and the track.

#include "playback/track.h"

#include <cstddef>
#include <functional>
#include <string>

namespace announce {

class IrcLink;

// Makes one inserted value safe for the receiving client (see IrcLink::escapeValue).
using ValueEscaper = std::function<std::string(const std::string&)>;

// The most a line may hold, in bytes of UTF-8, so it reaches the channel as one message whatever
// the client adds to it.
inline constexpr std::size_t kMaxLineBytes = 350;

// The format used when the settings hold none.
std::string defaultFormat();

// Replaces the tokens "!артист", "!название", "!время", "!качество", "!размер", "!адрес", "!тип",
// "!-", "!альбом", "!год", "!жанр", "!номер" and "!станция" (empty when the track has no such
// detail) in one left-to-right pass, so an inserted value is never searched for tokens. Each
// inserted value has its control characters blanked and is then escaped; the format's own text is
// kept as it is. A line that would start with "/" taken from a value gets a leading blank, so a tag
// can never choose the command the client runs. A bracket or parenthesis group whose tokens all
// came out empty goes, with the blank before it. A line over kMaxLineBytes is cut between
// characters and ends in "…".
std::string buildLine(const std::string& format, const playback::Track& track,
                      const ValueEscaper& escape);
std::string buildLine(const std::string& format, const playback::Track& track, const IrcLink& link);

// "!размер": bytes as megabytes truncated to two decimals, point separator, no trailing zeros and
// no leading zero (3456789 -> "3.29", 524288 -> ".5", 10000 -> "0"). Empty or non-numeric text
// gives empty text.
std::string sizeInMegabytes(const std::string& bytes);

} // namespace announce
