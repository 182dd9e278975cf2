#pragma once

// Playlist files (.m3u, .m3u8, .pls), read by the player itself: an engine that cannot read lists
// is handed their entries one by one, and every engine gets the same entries, titles and nesting.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace playback {

enum class ListKind { M3u, M3u8, Pls };

// The kind of list a path or address names by its extension; none for any other file.
std::optional<ListKind> listKindOf(const std::string& url);

// The scheme of an address ("http" of "HTTP://x"), in lower case; empty for a path. A single
// letter before ":" is a drive.
std::string schemeOf(std::string_view url);

struct ListEntry {
    std::string url;   // a file's path in UTF-8, or an address as the list wrote it
    std::string title; // the list's own title for it (.pls TitleN, m3u #EXTINF); may be empty
};

// Bounds on what one list, however hostile, may cost. A list of 100,000 entries of long paths
// takes some 16 MiB; what lies past a bound is left out, as if the list ended there.
constexpr std::size_t kMaxListBytes = 16 << 20; // read of one list file
constexpr std::size_t kMaxReadBytes = 64 << 20; // read of all the lists one list brings in
constexpr std::size_t kMaxListEntries = 100000; // entries of a list with all it brings in
constexpr int kMaxListFiles = 1000;             // list files read for one list

// A playlist file's entries, in order. Relative entries resolve against the list's own folder.
// A list named in it is read in its place, unless it is one of the lists it came from (a list
// that includes itself, directly or through others) or it would be nested deeper than
// Nesting::kMaxDepth: then it is left out. Addresses stay as they are, lists on the web among
// them; a file:// address of a local file becomes its path. An unreadable list gives no entries.
std::vector<ListEntry> readPlaylist(const std::string& path);

// The entries in the first `bytes` of a list file, whole lines only, so that its first entry can
// play while the rest is read. A list named in it is one entry here, not read. The rest of the
// file may still change how the head reads (its text encoding, .pls numbering): readPlaylist's
// entries are the list's own.
std::vector<ListEntry> readPlaylistHead(const std::string& path, std::size_t bytes);
// The head a long list's first entry is read from: it parses in a blink, where the whole of a long
// list takes a tenth of a second or more.
constexpr std::size_t kListHeadBytes = 16 << 10;

// The entries the bytes of a list of that kind hold, relative ones resolved against folder (left
// relative when folder is empty). A list named in it is one entry here, not read. Lists travel
// from Windows: in a relative entry "\" separates folders on every system, and "C:\x" and
// "\\server\share" are absolute. An entry holding a NUL byte names nothing and is left out.
// .m3u and .pls are UTF-8 when the bytes are valid UTF-8, else CP1251 (lists made on Windows);
// .m3u8 is always UTF-8, invalid bytes replaced. A UTF-8 byte order mark is dropped.
std::vector<ListEntry> parsePlaylist(std::string_view bytes, ListKind kind,
                                     const std::string& folder);

} // namespace playback
