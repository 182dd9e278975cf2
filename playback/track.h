#pragma once

// One track as the engine found it when it started. The engine's adapter makes it once per start,
// and everyone who shows or tells of the track reads that one value: the fields, the announcement
// line, the song files and the desktop's media controls.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace playback {

struct Track {
    int64_t entryId = -1;            // its playlist entry; -1 for none
    std::string sourceURL = {};      // the file's path or the address; empty: nothing was playing
    std::string name = {};           // the title
    std::string author = {};         // the artist
    std::string durationString = {}; // "03:45"; empty for a live stream
    std::optional<double> seconds = {}; // the length; none for a live stream
    std::string bitrate = {};           // bits per second, as text
    std::string fileSize = {};          // bytes, as text
    std::string fileType = {};          // "mp3"
    std::string album = {};
    std::string year = {}; // "2003"
    std::string genre = {};
    std::string trackNumber = {}; // "3"
    std::string station = {};     // a web radio's own name

    bool empty() const { return sourceURL.empty(); }
};

// Whether two are of one track: the same item with the same artist and title. A web radio stays
// one item while its title moves on from track to track.
bool sameTrack(const Track& a, const Track& b);

// Control characters (U+0000..U+001F, U+007F) as blanks. Anyone may tag a file or run a station:
// in a line to IRC a line break starts a second command and a \x01 a request that every client in
// the channel answers, and the song file must keep its four lines.
std::string blankControls(std::string value);

// The track with blankControls() applied to each of its texts but its path.
Track withoutControls(Track track);

// Display text of a length in seconds: "MM:SS", or "HH:MM:SS" from one hour on; seconds
// truncated. Empty for none.
std::string durationText(std::optional<double> seconds);

// Display name of an entry: its playlist title, else its file name without the extension.
std::string entryName(const std::string& filename, const std::string& title);

// A web radio's title: "Artist - Title" split at the first " - " when both sides hold text;
// otherwise all of it is the title and the artist is empty. Blanks around each part go, and
// control characters become blanks.
struct StreamTitle {
    std::string artist = {};
    std::string title = {};
};
StreamTitle splitStreamTitle(const std::string& streamTitle);

// The year of a year or date tag ("2003", "2003-05-01", "2003/05"); other text as it is.
std::string yearOf(const std::string& tag);
// The number of a track tag ("3", "3/12" -> "3").
std::string trackNumberOf(const std::string& tag);

// The file's type from its name, in lower case ("mp3"); an address's from its path.
std::string fileTypeOf(const std::string& path);

// An address's %XX escapes as the bytes they stand for; anything else as it is.
std::string percentDecoded(std::string_view text);

// Whether the path or address names a playlist file (.m3u, .m3u8, .pls).
bool isPlaylistFile(const std::string& url);

} // namespace playback
