#include "playback/playlist_file.h"

#include "playback/list_paths.h"
#include "playback/play_order.h"
#include "playback/track.h"
#include "text/text.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>

namespace playback {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// CP1251 from 0x80 on; 0x98 is unassigned.
constexpr char16_t kCp1251High[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, // 0x80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, // 0x88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 0x90
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, // 0x98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, // 0xA0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, // 0xA8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, // 0xB0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, // 0xB8
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, // 0xC0: А..
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, //
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, //
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F, // ..Я
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, // 0xE0: а..
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, //
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447, //
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F, // ..я
};

std::string utf8OfCp1251(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out += c;
            continue;
        }
        const char16_t code = kCp1251High[byte - 0x80];
        if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
        } else {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        }
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
    return out;
}

std::string textOf(std::string_view bytes, ListKind kind) {
    const bool marked = bytes.starts_with(kByteOrderMark);
    if (marked)
        bytes.remove_prefix(kByteOrderMark.size());
    std::string utf8 = text::validUtf8(bytes);
    if (kind == ListKind::M3u8 || marked || utf8 == bytes)
        return utf8;
    return utf8OfCp1251(bytes);
}

// Each line without its end (CR LF, LF or CR) and the blanks around it; blank lines skipped.
template <class Each> void forEachLine(std::string_view text, Each each) {
    while (!text.empty()) {
        const std::size_t end = std::min(text.find_first_of("\r\n"), text.size());
        if (const std::string line = text::trimmed(text.substr(0, end)); !line.empty())
            each(line);
        text.remove_prefix(std::min(end + 1, text.size()));
    }
}

bool isAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// What a file:// address names: the path, when it is of this machine and decodes to UTF-8; else
// the address itself, for the engine to make of it; none when it decodes to a NUL.
std::optional<std::string> fromFileUrl(std::string_view url) {
    std::string_view rest = url.substr(std::string_view("file://").size());
    const std::size_t slash = std::min(rest.find('/'), rest.size());
    const std::string host = text::lowerAscii(rest.substr(0, slash));
    rest.remove_prefix(slash);
    std::string path = percentDecoded(rest);
    if (path.find('\0') != std::string::npos)
        return std::nullopt;
    if (path.empty() || text::validUtf8(path) != path)
        return std::string(url);
    return localFileUrlPath(host, std::move(path)).value_or(std::string(url));
}

// The entry as the engine is given it: an address as it is, a path made whole against folder.
std::optional<std::string> resolved(std::string entry, std::string folder) {
    if (entry.find('\0') != std::string::npos)
        return std::nullopt;
    if (schemeOf(entry) == "file") {
        auto path = fromFileUrl(entry);
        if (!path || !schemeOf(*path).empty())
            return path;
        entry = std::move(*path);
    } else if (!schemeOf(entry).empty()) {
        return entry;
    }
    return madeWhole(std::move(entry), std::move(folder));
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           text::lowerAscii(text.substr(0, prefix.size())) == text::lowerAscii(prefix);
}

std::vector<ListEntry> parseM3u(std::string_view text, const std::string& folder) {
    std::vector<ListEntry> entries;
    std::string title; // of the next entry
    forEachLine(text, [&](const std::string& line) {
        if (entries.size() >= kMaxListEntries)
            return;
        if (line.front() == '#') {
            if (startsWithNoCase(line, "#EXTINF:")) {
                const std::size_t comma = line.find(',');
                title = comma == std::string::npos
                            ? std::string()
                            : text::trimmed(blankControls(line.substr(comma + 1)));
            }
            return;
        }
        if (auto url = resolved(line, folder))
            entries.push_back({std::move(*url), std::move(title)});
        title.clear();
    });
    return entries;
}

// The N of "file<N>" or "title<N>"; none for a key of another name or a number too long.
std::optional<uint64_t> numberAfter(std::string_view key, std::string_view name) {
    if (!key.starts_with(name))
        return std::nullopt;
    const std::string_view digits = key.substr(name.size());
    if (digits.empty() || digits.size() > 18)
        return std::nullopt;
    uint64_t n = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        n = n * 10 + uint64_t(c - '0');
    }
    return n;
}

std::vector<ListEntry> parsePls(std::string_view text, const std::string& folder) {
    std::map<uint64_t, ListEntry> byNumber;
    bool inList = false;
    forEachLine(text, [&](const std::string& line) {
        if (line.front() == '[') {
            inList = text::lowerAscii(line) == "[playlist]";
            return;
        }
        const std::size_t equals = line.find('=');
        if (!inList || equals == std::string::npos)
            return;
        const std::string key = text::lowerAscii(text::trimmed(line.substr(0, equals)));
        const auto file = numberAfter(key, "file");
        const auto title = file ? file : numberAfter(key, "title");
        if (!title || (byNumber.size() >= kMaxListEntries && !byNumber.contains(*title)))
            return;
        std::string value = text::trimmed(std::string_view(line).substr(equals + 1));
        // A title is shown and told: no control character of a stranger's list reaches either.
        if (file)
            byNumber[*file].url = std::move(value);
        else
            byNumber[*title].title = text::trimmed(blankControls(std::move(value)));
    });
    std::vector<ListEntry> entries;
    for (auto& [number, entry] : byNumber) {
        if (entry.url.empty())
            continue;
        if (auto url = resolved(std::move(entry.url), folder))
            entries.push_back({std::move(*url), std::move(entry.title)});
    }
    return entries;
}

// The file's bytes up to limit; a line cut there is left out. Only a regular file: a pipe or a
// device could keep the reader waiting, or never end.
std::string fileHead(const std::string& path, std::size_t limit) {
    std::error_code error;
    const std::filesystem::path file = text::pathOf(path);
    if (!std::filesystem::is_regular_file(file, error))
        return {};
    std::ifstream in(file, std::ios::binary);
    if (limit == 0 || !in)
        return {};
    std::string bytes;
    std::string chunk(std::size_t(1) << 16, '\0');
    while (bytes.size() <= limit) {
        const std::size_t want = std::min(chunk.size(), limit + 1 - bytes.size());
        in.read(chunk.data(), std::streamsize(want));
        if (in.gcount() <= 0)
            break;
        bytes.append(chunk, 0, std::size_t(in.gcount()));
    }
    if (bytes.size() > limit) {
        const std::size_t lastEnd = bytes.find_last_of("\r\n", limit - 1);
        bytes.resize(lastEnd == std::string::npos ? 0 : lastEnd);
    }
    return bytes;
}

// A list on this machine, by its full path: none for an address or a name that is no list.
std::optional<std::string> localList(const std::string& path) {
    std::string file = schemeOf(path) == "file" ? fromFileUrl(path).value_or("") : path;
    if (!listKindOf(file) || !schemeOf(file).empty() || text::validUtf8(file) != file)
        return std::nullopt;
    std::error_code error;
    return resolved(file, text::utf8Of(std::filesystem::current_path(error)));
}

// Reads a list and the lists it names, within the bounds on all of them together.
class Reader {
public:
    std::vector<ListEntry> entries;

    // chain: the lists this one came from, itself last; their entries are at depth chain.size().
    void read(const std::string& path, ListKind kind, std::vector<std::string>& chain) {
        if (m_filesLeft == 0)
            return;
        --m_filesLeft;
        std::vector<ListEntry> list;
        {
            const std::string bytes = contents(path);
            list = parsePlaylist(bytes, kind, folderOf(path));
        }
        for (auto& entry : list) {
            if (entries.size() >= kMaxListEntries)
                return;
            const auto nested = schemeOf(entry.url).empty() ? listKindOf(entry.url) : std::nullopt;
            if (!nested) {
                entries.push_back(std::move(entry));
                continue;
            }
            if (int(chain.size()) >= Nesting::kMaxDepth)
                continue;
            if (namesNothingHere(entry.url))
                continue;
            std::string key = samePathKey(entry.url);
            if (std::find(chain.begin(), chain.end(), key) != chain.end())
                continue;
            chain.push_back(std::move(key));
            read(entry.url, *nested, chain);
            chain.pop_back();
        }
    }

private:
    std::string contents(const std::string& path) {
        std::string bytes = fileHead(path, std::min(kMaxListBytes, m_bytesLeft));
        m_bytesLeft -= bytes.size();
        return bytes;
    }

    std::size_t m_bytesLeft = kMaxReadBytes;
    int m_filesLeft = kMaxListFiles;
};

} // namespace

std::optional<ListKind> listKindOf(const std::string& url) {
    const std::string type = fileTypeOf(url);
    if (type == "m3u")
        return ListKind::M3u;
    if (type == "m3u8")
        return ListKind::M3u8;
    if (type == "pls")
        return ListKind::Pls;
    return std::nullopt;
}

std::string schemeOf(std::string_view url) {
    const std::size_t colon = url.find("://");
    if (colon == std::string_view::npos || colon < 2 || !isAsciiLetter(url[0]))
        return {};
    for (const char c : url.substr(0, colon)) {
        if (!isAsciiLetter(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.')
            return {};
    }
    return text::lowerAscii(url.substr(0, colon));
}

std::vector<ListEntry> parsePlaylist(std::string_view bytes, ListKind kind,
                                     const std::string& folder) {
    const std::string text = textOf(bytes, kind);
    return kind == ListKind::Pls ? parsePls(text, folder) : parseM3u(text, folder);
}

std::vector<ListEntry> readPlaylist(const std::string& path) {
    const auto file = localList(path);
    if (!file)
        return {};
    std::vector<std::string> chain{samePathKey(*file)};
    Reader reader;
    reader.read(*file, *listKindOf(*file), chain);
    return std::move(reader.entries);
}

std::vector<ListEntry> readPlaylistHead(const std::string& path, std::size_t bytes) {
    const auto file = localList(path);
    if (!file)
        return {};
    return parsePlaylist(fileHead(*file, bytes), *listKindOf(*file), folderOf(*file));
}

} // namespace playback
