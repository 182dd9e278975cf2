#include "announce/song_file.h"

#include "settings/code_page.h"
#include "text/text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <utility>
#include <vector>

namespace announce {
namespace {

std::string lineOf(const std::string& value) {
    return text::toAnsi(playback::blankControls(value)) + "\r\n";
}

} // namespace

std::string jsonString(std::string_view value) {
    std::string out = "\"";
    for (const char c : text::validUtf8(value)) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", unsigned(c));
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    return out + '"';
}

namespace {

// A count as the engine gives it in text; null for anything but plain digits.
std::string countOf(const std::string& digits) {
    if (digits.empty() || digits.size() > 18 ||
        digits.find_first_not_of("0123456789") != std::string::npos)
        return "null";
    return std::to_string(std::stoll(digits));
}

} // namespace

std::string secondsOf(const std::optional<double>& seconds) {
    if (!seconds || !std::isfinite(*seconds) || *seconds < 0)
        return "null";
    char text[32];
    const double rounded = std::round(*seconds * 1000) / 1000;
    const auto end = std::to_chars(text, text + sizeof text, rounded).ptr;
    return std::string(text, end);
}

std::string songFileBytes(const playback::Track& track) {
    return lineOf(track.author) + lineOf(track.name) + lineOf(track.durationString) +
           lineOf(track.bitrate);
}

std::string songJsonBytes(const playback::Track& track, bool paused, const WallTime& startedAt) {
    const std::pair<const char*, std::string> fields[] = {
        {"album", jsonString(track.album)},
        {"artist", jsonString(track.author)},
        {"bitrate", countOf(track.bitrate)},
        {"duration", secondsOf(track.seconds)},
        {"genre", jsonString(track.genre)},
        {"path", jsonString(track.sourceURL)},
        {"size", countOf(track.fileSize)},
        {"started", jsonString(isoText(startedAt))},
        {"state", jsonString(paused ? "paused" : "playing")},
        {"station", jsonString(track.station)},
        {"title", jsonString(track.name)},
        {"track", jsonString(track.trackNumber)},
        {"type", jsonString(track.fileType)},
        {"year", jsonString(track.year)},
    };
    std::string json = "{\n";
    for (const auto& [key, value] : fields) {
        json += json.size() > 2 ? ",\n" : "";
        json += "    \"" + std::string(key) + "\": " + value;
    }
    return json + "\n}\n";
}

} // namespace announce
