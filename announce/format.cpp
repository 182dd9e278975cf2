#include "announce/format.h"

#include "announce/irc_link.h"
#include "text/text.h"

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace announce {
namespace {

using playback::Track;

enum class Field {
    Author,
    Name,
    Duration,
    Bitrate,
    Size,
    Source,
    Type,
    Dash,
    Album,
    Year,
    Genre,
    Number,
    Station
};

struct Token {
    std::string_view text;
    Field field;
};

// Longest first, so a token that is a prefix of another can never shadow it.
constexpr std::array<Token, 13> kTokens{{
    {"!название", Field::Name},
    {"!качество", Field::Bitrate},
    {"!станция", Field::Station},
    {"!артист", Field::Author},
    {"!размер", Field::Size},
    {"!альбом", Field::Album},
    {"!время", Field::Duration},
    {"!адрес", Field::Source},
    {"!номер", Field::Number},
    {"!жанр", Field::Genre},
    {"!тип", Field::Type},
    {"!год", Field::Year},
    {"!-", Field::Dash},
}};

std::string valueOf(Field field, const Track& track) {
    switch (field) {
    case Field::Author:
        return track.author;
    case Field::Name:
        return track.name;
    case Field::Duration:
        return track.durationString;
    case Field::Bitrate:
        return track.bitrate;
    case Field::Size:
        return sizeInMegabytes(track.fileSize);
    case Field::Source:
        return track.sourceURL;
    case Field::Type:
        return track.fileType;
    case Field::Dash:
        return track.author.empty() ? std::string() : "-";
    case Field::Album:
        return track.album;
    case Field::Year:
        return track.year;
    case Field::Genre:
        return track.genre;
    case Field::Number:
        return track.trackNumber;
    case Field::Station:
        return track.station;
    }
    return {};
}

const Token* tokenAt(std::string_view rest) {
    if (rest.empty() || rest.front() != '!')
        return nullptr;
    for (const Token& token : kTokens) {
        if (rest.starts_with(token.text))
            return &token;
    }
    return nullptr;
}

} // namespace

std::string defaultFormat() {
    return "/me слушает !артист - !название [!время]";
}

namespace {

// A line longer than one IRC message would reach the channel as several, or be cut by the
// server mid-character: at most kMaxLineBytes, cut between characters and marked.
std::string fitted(std::string line) {
    if (line.size() <= kMaxLineBytes)
        return line;
    constexpr std::string_view kMark = "…";
    std::size_t end = kMaxLineBytes - kMark.size();
    while (end > 0 && (static_cast<unsigned char>(line[end]) & 0xC0) == 0x80)
        --end; // not inside a character
    line.resize(end);
    return line + std::string(kMark);
}

} // namespace

std::string buildLine(const std::string& format, const Track& track, const ValueEscaper& escape) {
    // A bracket or parenthesis group of the format whose tokens all came out empty ("[!время]"
    // for a station) is dropped with the blank before it; one without tokens ("[np]") stays.
    struct Group {
        char close;
        std::size_t start; // where it begins in the line, its blank included
        int tokens = 0;
        int filled = 0;
    };
    std::vector<Group> groups;
    std::string line;
    line.reserve(format.size() + 64);
    const std::string_view rest(format);
    for (std::size_t i = 0; i < rest.size();) {
        const Token* found = tokenAt(rest.substr(i));
        if (!found) {
            const char c = rest[i++];
            if (c == '[' || c == '(') {
                const bool blank = !line.empty() && line.back() == ' ';
                groups.push_back({c == '[' ? ']' : ')', line.size() - (blank ? 1 : 0)});
            } else if (!groups.empty() && c == groups.back().close) {
                const Group group = groups.back();
                groups.pop_back();
                if (!groups.empty()) {
                    groups.back().tokens += group.tokens;
                    groups.back().filled += group.filled;
                }
                if (group.tokens > 0 && group.filled == 0) {
                    line.resize(group.start);
                    continue;
                }
            }
            line += c;
            continue;
        }
        std::string value = playback::blankControls(valueOf(found->field, track));
        if (escape)
            value = escape(value);
        if (!groups.empty()) {
            ++groups.back().tokens;
            groups.back().filled += value.empty() ? 0 : 1;
        }
        if (line.empty() && value.starts_with('/'))
            line += ' ';
        line += value;
        i += found->text.size();
    }
    return fitted(std::move(line));
}

std::string buildLine(const std::string& format, const Track& track, const IrcLink& link) {
    return buildLine(format, track, [&link](const std::string& v) { return link.escapeValue(v); });
}

std::string sizeInMegabytes(const std::string& bytes) {
    const std::string digits = text::trimmed(bytes);
    if (digits.empty() || digits.size() > 20 ||
        digits.find_first_not_of("0123456789") != std::string::npos)
        return {};
    std::uint64_t n = 0;
    for (const char c : digits) {
        const std::uint64_t digit = std::uint64_t(c - '0');
        if (n > (UINT64_MAX - digit) / 10)
            return {}; // more than 64 bits hold
        n = n * 10 + digit;
    }
    // Hundredths of a megabyte, rounded down, without overflowing on huge sizes.
    constexpr std::uint64_t mb = 1024 * 1024;
    const std::uint64_t hundredths = n / mb * 100 + n % mb * 100 / mb;
    const std::uint64_t whole = hundredths / 100;
    const std::uint64_t fraction = hundredths % 100;
    if (whole == 0 && fraction == 0)
        return "0";
    std::string text = whole == 0 ? std::string() : std::to_string(whole);
    if (fraction != 0) {
        text += '.';
        text += char('0' + fraction / 10);
        if (fraction % 10 != 0)
            text += char('0' + fraction % 10);
    }
    return text;
}

} // namespace announce
