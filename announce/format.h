// Builds the announcement line from the user's format and a snapshot of the track.
#pragma once
#include "announce/irc_link.h"
#include "announce/now_playing.h"

#include <QString>
#include <functional>

namespace announce {

// Makes one inserted value safe for the receiving client (see IrcLink::escapeValue).
using ValueEscaper = std::function<QString(const QString&)>;

// Control characters (U+0000..U+001F, U+007F) as blanks: the client runs the line as a command
// line, where a line break would start a second command; a \x01 would cut the action short and
// reach every client in the channel as a request of its own; and the song file must keep its
// four lines.
QString blankControls(QString value);

// The format used when the settings hold none.
QString defaultFormat();

// Replaces the tokens "!артист", "!название", "!время", "!качество", "!размер", "!адрес", "!тип",
// "!-", "!альбом", "!год", "!жанр", "!номер" and "!станция" (empty when the track has no such
// detail) in one left-to-right pass, so an inserted value is never searched for tokens. Each
// inserted value has its control characters blanked and is then escaped; the format's own text is
// kept as it is. A line that would start with "/" taken from a value gets a leading blank, so a tag
// can never choose the command the client runs.
QString buildLine(const QString& format, const NowPlaying& track, const ValueEscaper& escape);
QString buildLine(const QString& format, const NowPlaying& track, const IrcLink& link);

// "!размер": bytes as megabytes truncated to two decimals, point separator, no trailing zeros and
// no leading zero (3456789 -> "3.29", 524288 -> ".5", 10000 -> "0"). Empty or non-numeric text
// gives empty text.
QString sizeInMegabytes(const QString& bytes);

} // namespace announce
