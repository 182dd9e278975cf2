#include "playback/track.h"

#include "text/text.h"

#include <cmath>
#include <cstdio>

namespace playback {
namespace {

bool isAddress(const std::string& text) {
    return text.find("://") != std::string::npos;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The path of an address, decoded, without its query or fragment; a file's path as it is.
std::string pathPart(const std::string& url) {
    if (!isAddress(url))
        return url;
    const std::size_t authority = url.find("://") + 3;
    const std::size_t path = url.find('/', authority);
    if (path == std::string::npos)
        return {};
    const std::size_t end = url.find_first_of("?#", path);
    return percentDecoded(std::string_view(url).substr(path, end - path));
}

// The last segment of a file's path or of an address's path.
std::string lastSegment(const std::string& filename) {
    if (isAddress(filename)) {
        const std::string path = pathPart(filename);
        const std::string name = path.substr(path.rfind('/') + 1);
        return name.empty() ? filename : name;
    }
    return text::utf8Of(text::pathOf(filename).filename());
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

std::string percentDecoded(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int high = i + 2 < text.size() && text[i] == '%' ? hexValue(text[i + 1]) : -1;
        const int low = high >= 0 ? hexValue(text[i + 2]) : -1;
        if (low >= 0) {
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

bool sameTrack(const Track& a, const Track& b) {
    return a.sourceURL == b.sourceURL && a.author == b.author && a.name == b.name;
}

std::string blankControls(std::string value) {
    for (char& c : value) {
        if (static_cast<unsigned char>(c) < 0x20 || c == '\x7f')
            c = ' ';
    }
    return value;
}

Track withoutControls(Track track) {
    for (std::string* text : {&track.sourceURL, &track.name, &track.author, &track.durationString,
                              &track.bitrate, &track.fileSize, &track.fileType, &track.album,
                              &track.year, &track.genre, &track.trackNumber, &track.station})
        *text = blankControls(std::move(*text));
    return track;
}

std::string durationText(std::optional<double> seconds) {
    if (!seconds || !std::isfinite(*seconds) || *seconds < 0 || *seconds >= 1e15)
        return {};
    const auto total = static_cast<int64_t>(*seconds);
    const long long h = total / 3600, m = total / 60 % 60, s = total % 60;
    char text[48];
    if (h > 0)
        std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", h, m, s);
    else
        std::snprintf(text, sizeof text, "%02lld:%02lld", m, s);
    return text;
}

std::string entryName(const std::string& filename, const std::string& title) {
    if (!title.empty())
        return title;
    const std::string file = lastSegment(filename);
    if (file == filename && isAddress(filename))
        return file; // an address without a file name: its host is no file type
    const std::size_t dot = file.rfind('.');
    return dot != std::string::npos && dot > 0 ? file.substr(0, dot) : file;
}

StreamTitle splitStreamTitle(const std::string& streamTitle) {
    const std::string text = blankControls(streamTitle);
    if (const std::size_t dash = text.find(" - "); dash != std::string::npos) {
        std::string artist = text::trimmed(std::string_view(text).substr(0, dash));
        std::string title = text::trimmed(std::string_view(text).substr(dash + 3));
        if (!artist.empty() && !title.empty())
            return {std::move(artist), std::move(title)};
    }
    return {{}, text::trimmed(text)};
}

std::string yearOf(const std::string& tag) {
    const std::string text = text::trimmed(tag);
    const bool fourDigits = text.size() >= 4 && isDigit(text[0]) && isDigit(text[1]) &&
                            isDigit(text[2]) && isDigit(text[3]);
    if (fourDigits && (text.size() == 4 || !isDigit(text[4])))
        return text.substr(0, 4);
    return text;
}

std::string trackNumberOf(const std::string& tag) {
    return text::trimmed(std::string_view(tag).substr(0, tag.find('/')));
}

std::string fileTypeOf(const std::string& path) {
    const std::string name = lastSegment(isAddress(path) ? pathPart(path) : path);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : text::lowerAscii(name.substr(dot + 1));
}

bool isPlaylistFile(const std::string& url) {
    const std::string type = fileTypeOf(url);
    return type == "m3u" || type == "m3u8" || type == "pls";
}

} // namespace playback
