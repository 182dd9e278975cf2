// Fuzzes the playlist reader with the bytes of a list a web-radio directory might hand out.
// Input: a byte choosing the kind (.m3u, .m3u8 or .pls) and the folder the list is in (none, a
// path, a Windows path), then the list's bytes.
// Invariants: no more entries than the bound; each entry's address is valid UTF-8 without a NUL,
// and its title valid UTF-8 without any control character; an entry without a scheme is a whole
// path, made so against the folder when there is one.
#include "playback/playlist_file.h"
#include "tests/fuzz/fuzz_input.h"
#include "text/text.h"

#include <algorithm>

namespace {

// A title is shown and told: valid UTF-8, and no control character at all.
bool shownText(const std::string& text) {
    return text::validUtf8(text) == text && std::none_of(text.begin(), text.end(), [](char c) {
               return static_cast<unsigned char>(c) < 0x20 || c == '\x7f';
           });
}

// A file:// address may name a file whose name holds a line break ("%0A"): any byte but NUL.
bool aName(const std::string& text) {
    return text.find('\0') == std::string::npos && text::validUtf8(text) == text;
}

bool whole(const std::string& path) {
    const auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    return path.starts_with('/') || path.starts_with('\\') ||
           (path.size() >= 3 && letter(path[0]) && path[1] == ':' &&
            (path[2] == '\\' || path[2] == '/'));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    const std::uint8_t choice = input.byte();
    const playback::ListKind kinds[] = {playback::ListKind::M3u, playback::ListKind::M3u8,
                                        playback::ListKind::Pls};
    const std::string folders[] = {"", "/home/u/музыка/", "C:\\Music\\"};
    const std::string& folder = folders[(choice >> 2) % 3];
    const auto entries = playback::parsePlaylist(input.rest(), kinds[choice % 3], folder);
    FUZZ_CHECK(entries.size() <= playback::kMaxListEntries);
    for (const playback::ListEntry& entry : entries) {
        FUZZ_CHECK(!entry.url.empty());
        FUZZ_CHECK(aName(entry.url));
        FUZZ_CHECK(shownText(entry.title));
        if (playback::schemeOf(entry.url).empty() && folder.starts_with('/'))
            FUZZ_CHECK(whole(entry.url));
    }
    return 0;
}
