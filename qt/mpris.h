#pragma once

// How the player shows itself to the desktop's media controls (the freedesktop MPRIS2
// interface): the rules that turn its state into the interface's values and back. Pure.

#include "playback/play_state.h"
#include "playback/track.h"

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>

namespace mpris {

// "Playing", "Paused" or "Stopped" once the engine reports NewState. States that say nothing of
// it (transitioning between entries, media ended) keep the status it had.
QString playbackStatus(const QString& before, playback::PlayState NewState);

// LoopStatus of the repeat option, and back: "Playlist" or "None"; any other text, "Track"
// included (one entry is never repeated on its own), is refused.
QString loopStatus(bool repeat);
std::optional<bool> repeatOf(const QString& loopStatus);

// Whether a value of the property's own type is one the player applies: a LoopStatus it has, the
// one Rate it plays at (1.0), a Volume that is a number. Anything else is refused, not ignored.
bool applies(const QString& property, const QVariant& value);

// Volume 0.0..1.0 of the control's 0..100, and back, clamped; NaN is refused.
double volumeOf(int volume);
std::optional<int> controlVolume(double volume);

// The object path naming an entry; the interface's NoTrack path for none.
QString trackId(qint64 entryId);

// The track playing, as Metadata tells it: mpris:trackid (as the text of its path), mpris:length
// in microseconds, xesam:title, xesam:artist (a list of one), xesam:album, xesam:url. Unknown
// values are left out; with no entry, only the NoTrack id.
QVariantMap metadata(const playback::Track& track);

// The local path of a file:// address naming a folder, or a regular file with a media or playlist
// extension, that exists; empty for anything else (another scheme, another host, a relative or
// missing path, a device, a file of another kind, text that is no address).
QString openableFile(const QString& uri);

// Where Seek goes, in seconds, from position by offset microseconds: never before the start;
// nullopt past the end of a track of known length, where it goes to the next entry instead.
std::optional<double> seekTarget(double position, qint64 offsetUs, std::optional<double> length);

// Where SetPosition goes, in seconds: nullopt when the id is not the current track's (a stale
// request), or the position lies before the start or past the end.
std::optional<double> positionTarget(const QString& currentTrackId, const QString& askedTrackId,
                                     qint64 positionUs, std::optional<double> length);

// The entries of after that differ from before, or are new.
QVariantMap changed(const QVariantMap& before, const QVariantMap& after);

// The types of media and playlists the engine plays.
QStringList supportedMimeTypes();

} // namespace mpris
