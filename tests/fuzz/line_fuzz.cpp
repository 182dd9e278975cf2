// Fuzzes the announcement line builder with an arbitrary format and arbitrary field values.
// Input: the format and the twelve values (author, title, length, bitrate, size, path, type,
// album, year, genre, track number, station) as UTF-8, separated by 0xFF bytes, which UTF-8
// never holds.
// Invariants, for every client's escaping: no control character (CR, LF, NUL, the \x01 of a
// client request, ...) from a value reaches the line; no "|" from a value reaches mIRC's line; a
// value is never read again for tokens, so the line is the format with each token replaced by its
// value as it stands.
#include "announce/format.h"
#include "announce/irc_link.h"
#include "tests/fuzz/fuzz_input.h"

#include <algorithm>
#include <array>
#include <vector>

namespace {

using playback::Track;

// Private use characters (U+E000.. in UTF-8): markers for the values, never in a format we check
// with them.
std::string marker(std::size_t n) {
    const unsigned code = 0xE000 + unsigned(n);
    return {char(0xE0 | (code >> 12)), char(0x80 | ((code >> 6) & 0x3F)),
            char(0x80 | (code & 0x3F))};
}

bool holdsMarkers(const std::string& text) {
    return text.find('\xEE') != std::string::npos;
}

long controls(const std::string& text) {
    return std::count_if(text.begin(), text.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == '\x7f';
    });
}

void checkLine(const std::string& format, const Track& track, const announce::ValueEscaper& escape,
               bool mirc) {
    const std::string line = announce::buildLine(format, track, escape);
    FUZZ_CHECK(line.size() <= announce::kMaxLineBytes);
    const auto pipes = [](const std::string& text) {
        return std::count(text.begin(), text.end(), '|');
    };
    // A line cut to one message, or a group of empty tokens dropped, loses some of the format's
    // own text; it never gains any.
    if (line.ends_with("…") || format.find_first_of("[(") != std::string::npos) {
        FUZZ_CHECK(controls(line) <= controls(format));
        if (mirc)
            FUZZ_CHECK(pipes(line) <= pipes(format));
        return;
    }
    FUZZ_CHECK(controls(line) == controls(format));
    if (mirc)
        FUZZ_CHECK(pipes(line) == pipes(format));
    if (holdsMarkers(format))
        return;

    // The same format with every inserted value swapped for a marker of its own, then each
    // marker put back as the value: what the line must be if no value was read for tokens.
    // Each inserted value is a field as it stands, control characters blanked, never rewritten.
    std::vector<std::string> fields{track.author,      track.name,      track.durationString,
                                    track.bitrate,     track.sourceURL, track.fileType,
                                    track.album,       track.year,      track.genre,
                                    track.trackNumber, track.station};
    for (std::string& field : fields)
        field = playback::blankControls(field);
    fields.push_back(announce::sizeInMegabytes(track.fileSize));
    fields.push_back(track.author.empty() ? "" : "-");
    std::vector<std::string> inserted;
    const std::string shape = announce::buildLine(format, track, [&](const std::string& value) {
        FUZZ_CHECK(std::find(fields.begin(), fields.end(), value) != fields.end());
        inserted.push_back(escape ? escape(value) : value);
        return marker(inserted.size() - 1);
    });
    FUZZ_CHECK(inserted.size() <= 0x1000);
    if (shape.ends_with("…"))
        return; // the markers made it longer than a message, and it was cut elsewhere
    std::string expected;
    for (std::size_t i = 0; i < shape.size();) {
        if (shape[i] != '\xEE') {
            expected += shape[i++];
            continue;
        }
        FUZZ_CHECK(i + 3 <= shape.size());
        const std::size_t found = std::size_t(shape[i + 1] & 0x3F) << 6 | (shape[i + 2] & 0x3F);
        FUZZ_CHECK(found < inserted.size());
        const std::string& value = inserted[found];
        if (expected.empty() && value.starts_with('/'))
            expected += ' '; // a value never chooses the command
        expected += value;
        i += 3;
    }
    FUZZ_CHECK(line == expected);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    std::array<std::string, 13> parts;
    std::string_view rest = input.rest();
    for (std::string& part : parts) {
        const std::size_t end = rest.find('\xFF');
        part = std::string(rest.substr(0, end));
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    }
    const Track track{.sourceURL = parts[6],
                      .name = parts[2],
                      .author = parts[1],
                      .durationString = parts[3],
                      .bitrate = parts[4],
                      .fileSize = parts[5],
                      .fileType = parts[7],
                      .album = parts[8],
                      .year = parts[9],
                      .genre = parts[10],
                      .trackNumber = parts[11],
                      .station = parts[12]};

    checkLine(parts[0], track, nullptr, false);
    checkLine(parts[0], track, announce::escapeCommandSeparator, true);
    return 0;
}
