#include "settings/profile_file.h"

#include "settings/replace_file.h"
#include "text/text.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <optional>

namespace profile {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kCrLf = "\r\n";

// One line of the file: content in [begin, end), the line break in [end, next).
struct Line {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t next = 0;
};

Line lineAt(std::string_view text, std::size_t pos) {
    Line line{pos, text.find_first_of("\r\n", pos), 0};
    if (line.end == std::string_view::npos) {
        line.end = text.size();
    }
    line.next = line.end;
    if (line.next < text.size()) {
        const bool crLf =
            text[line.next] == '\r' && line.next + 1 < text.size() && text[line.next + 1] == '\n';
        line.next += crLf ? 2 : 1;
    }
    return line;
}

// Blanks inside the file.
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v';
}

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && isBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

// Arguments lose only their spaces.
std::string_view trimSpaces(std::string_view s) {
    while (!s.empty() && s.front() == ' ') {
        s.remove_prefix(1);
    }
    while (!s.empty() && s.back() == ' ') {
        s.remove_suffix(1);
    }
    return s;
}

std::string_view cString(std::string_view s) {
    return s.substr(0, s.find('\0'));
}

std::string_view argument(std::string_view s) {
    return trimSpaces(cString(s));
}

char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

enum class Kind { Blank, Comment, Header, Entry };

struct Parsed {
    Kind kind = Kind::Blank;
    std::string_view name;
    std::optional<std::string_view> value; // entries without "=" have none
};

Parsed parse(std::string_view content) {
    content = trimBlanks(content);
    if (content.empty()) {
        return {};
    }
    if (content.front() == ';') {
        return {Kind::Comment, {}, {}};
    }
    if (content.front() == '[') {
        // Without a "]" the line is an entry, not a header.
        if (const auto close = content.find(']'); close != std::string_view::npos) {
            return {Kind::Header, trimBlanks(content.substr(1, close - 1)), {}};
        }
    }
    const auto equals = content.find('=');
    if (equals == std::string_view::npos) {
        return {Kind::Entry, content, {}};
    }
    return {Kind::Entry, trimBlanks(content.substr(0, equals)),
            trimBlanks(content.substr(equals + 1))};
}

// Where a key lives in the first section of its name.
struct Scan {
    bool sectionFound = false;
    Line header;
    std::optional<Line> lastEntry;
    std::optional<Line> keyLine;
    std::string_view keyName; // as spelled in the file
    std::string_view value;   // trimmed, quotes still on
};

std::size_t bodyStart(std::string_view text) {
    return text.starts_with(kUtf8Bom) ? kUtf8Bom.size() : 0;
}

Scan scan(std::string_view text, std::string_view section, std::string_view key) {
    Scan found;
    for (std::size_t pos = bodyStart(text); pos < text.size();) {
        const Line line = lineAt(text, pos);
        pos = line.next;
        const Parsed parsed = parse(text.substr(line.begin, line.end - line.begin));
        if (parsed.kind == Kind::Header) {
            if (found.sectionFound) {
                break; // only the first section of a name counts
            }
            if (sameName(parsed.name, section)) {
                found.sectionFound = true;
                found.header = line;
            }
        } else if (parsed.kind == Kind::Entry && found.sectionFound) {
            found.lastEntry = line;
            if (!found.keyLine && parsed.value && sameName(parsed.name, key)) {
                found.keyLine = line;
                found.keyName = parsed.name;
                found.value = *parsed.value;
            }
        }
    }
    return found;
}

std::string_view withoutQuotes(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

std::string fitted(std::string_view text, std::size_t bufferSize, Charset charset) {
    const std::size_t room = bufferSize == 0 ? 0 : bufferSize - 1;
    return std::string(text.substr(0, cutLength(text, room, charset)));
}

bool isContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

std::size_t sequenceLength(unsigned char lead) {
    if ((lead & 0xE0) == 0xC0) {
        return 2;
    }
    if ((lead & 0xF0) == 0xE0) {
        return 3;
    }
    if ((lead & 0xF8) == 0xF0) {
        return 4;
    }
    return 1;
}

struct Loaded {
    bool ok = false;     // false: the file exists but cannot be read
    bool exists = false; // false: there is no file, which reads as empty
    std::string bytes;
    bool utf16 = false; // the file is UTF-16LE with its mark; bytes hold it as UTF-8
};

constexpr std::string_view kUtf16Mark = "\xFF\xFE";

// UTF-16LE as UTF-8; a lone surrogate or an odd last byte becomes U+FFFD.
std::string fromUtf16(std::string_view bytes) {
    std::u16string units(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = char16_t(static_cast<unsigned char>(bytes[2 * i]) |
                            static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    std::string out = text::utf8OfUtf16(units);
    if (bytes.size() % 2)
        out += "\xEF\xBF\xBD";
    return out;
}

// UTF-8 (made valid first) as UTF-16LE.
std::string toUtf16(std::string_view utf8) {
    const std::string text = text::validUtf8(utf8);
    std::string out;
    out.reserve(text.size() * 2);
    const auto put = [&out](char32_t u) {
        out += char(u & 0xFF);
        out += char(u >> 8);
    };
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        const std::size_t length = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        char32_t c = length == 1 ? b : length == 2 ? b & 0x1F : length == 3 ? b & 0x0F : b & 0x07;
        for (std::size_t k = 1; k < length; ++k)
            c = c << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        i += length;
        if (c >= 0x10000) {
            put(0xD800 + ((c - 0x10000) >> 10));
            put(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            put(c);
        }
    }
    return out;
}

Loaded load(const std::filesystem::path& file) {
    std::error_code error;
    const auto status = std::filesystem::status(file, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        return {true, false, {}};
    }
    if (error || status.type() != std::filesystem::file_type::regular) {
        return {};
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return {};
    }
    Loaded loaded{true, true, {}};
    loaded.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        return {};
    }
    return loaded;
}

// As the system's own profile functions do, a file in UTF-16LE with its mark is read as text.
Loaded loadText(const std::filesystem::path& file) {
    Loaded loaded = load(file);
    if (loaded.ok && std::string_view(loaded.bytes).starts_with(kUtf16Mark)) {
        loaded.bytes = fromUtf16(std::string_view(loaded.bytes).substr(kUtf16Mark.size()));
        loaded.utf16 = true;
    }
    return loaded;
}

} // namespace

std::size_t cutLength(std::string_view text, std::size_t maxChars, Charset charset) {
    if (charset == Charset::SingleByte) {
        return std::min(text.size(), maxChars);
    }
    std::size_t pos = 0;
    for (std::size_t chars = 0; chars < maxChars && pos < text.size(); ++chars) {
        const std::size_t length = sequenceLength(static_cast<unsigned char>(text[pos]));
        std::size_t next = pos + 1;
        while (next < pos + length && next < text.size() &&
               isContinuation(static_cast<unsigned char>(text[next]))) {
            ++next;
        }
        pos = next == pos + length ? next : pos + 1;
    }
    return pos;
}

std::string readString(std::string_view text, std::string_view section, std::string_view key,
                       std::string_view defaultValue, std::size_t bufferSize, Charset charset) {
    const Scan found = isEditable(text) ? scan(text, argument(section), argument(key)) : Scan{};
    if (found.keyLine) {
        return fitted(withoutQuotes(cString(found.value)), bufferSize, charset);
    }
    std::string_view fallback = cString(defaultValue);
    while (!fallback.empty() && fallback.back() == ' ') {
        fallback.remove_suffix(1);
    }
    return fitted(fallback, bufferSize, charset);
}

bool isWritable(std::string_view text, std::string_view section, std::string_view key) {
    const std::string_view sectionName = argument(section);
    const std::string_view keyName = argument(key);
    const auto readsAsWritten = [](std::string_view name) {
        return trimBlanks(name) == name && name.find_first_of("\r\n") == std::string_view::npos;
    };
    return isEditable(text) && readsAsWritten(sectionName) && readsAsWritten(keyName) &&
           sectionName.find(']') == std::string_view::npos &&
           keyName.find('=') == std::string_view::npos && !keyName.starts_with('[') &&
           !keyName.starts_with(';');
}

std::string writeString(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value) {
    if (!isWritable(text, section, key)) {
        return std::string(text);
    }
    const std::string_view sectionName = argument(section);
    const std::string_view keyName = argument(key);
    std::string newValue(cString(value));
    std::replace(newValue.begin(), newValue.end(), '\r', ' ');
    std::replace(newValue.begin(), newValue.end(), '\n', ' ');
    const Scan found = scan(text, sectionName, keyName);

    std::string result(text);
    if (found.keyLine) {
        const Line line = *found.keyLine;
        std::string replacement(found.keyName);
        replacement.append("=").append(newValue).append(kCrLf);
        return result.replace(line.begin, line.next - line.begin, replacement);
    }

    std::string entry(keyName);
    entry.append("=").append(newValue).append(kCrLf);
    if (found.sectionFound) {
        // Right after the section's last entry, so trailing comments and blank lines stay
        // below it; a last line without a line break gets one.
        const Line after = found.lastEntry ? *found.lastEntry : found.header;
        if (after.next == after.end) {
            entry.insert(0, kCrLf);
        }
        return result.insert(after.next, entry);
    }

    const bool endsInLineBreak = result.ends_with('\n') || result.ends_with('\r');
    if (result.size() > bodyStart(result) && !endsInLineBreak) {
        result.append(kCrLf);
    }
    result.append("[").append(sectionName).append("]").append(kCrLf).append(entry);
    return result;
}

bool isEditable(std::string_view text) {
    return !text.starts_with("\xFF\xFE") && !text.starts_with("\xFE\xFF");
}

std::string fileBytes(const std::filesystem::path& file) {
    Loaded loaded = load(file);
    return loaded.ok ? std::move(loaded.bytes) : std::string();
}

std::string readFileString(const std::filesystem::path& file, std::string_view section,
                           std::string_view key, std::string_view defaultValue,
                           std::size_t bufferSize, Charset charset) {
    const Loaded loaded = loadText(file);
    return readString(loaded.ok ? loaded.bytes : std::string(), section, key, defaultValue,
                      bufferSize, loaded.utf16 ? Charset::Utf8 : charset);
}

bool writeFileString(const std::filesystem::path& file, std::string_view section,
                     std::string_view key, std::string_view value) {
    // Write through a symbolic link rather than replacing the link itself.
    std::error_code error;
    std::filesystem::path target = file;
    if (std::filesystem::is_symlink(file, error)) {
        target = std::filesystem::canonical(file, error);
        if (error) {
            return false;
        }
    }
    const Loaded loaded = loadText(target);
    if (!loaded.ok || !isWritable(loaded.bytes, section, key)) {
        return false;
    }
    const std::string updated = writeString(loaded.bytes, section, key, value);
    if (loaded.exists && updated == loaded.bytes) {
        return true;
    }
    return settings::replaceFile(
        target, loaded.utf16 ? std::string(kUtf16Mark) + toUtf16(updated) : updated,
        settings::ReadOnlyFile::Keep);
}

} // namespace profile
