#include "announce/format.h"

#include <array>
#include <cstdint>

using namespace Qt::Literals::StringLiterals;

namespace announce {
namespace {

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
    QStringView text;
    Field field;
};

// Longest first, so a token that is a prefix of another can never shadow it.
const std::array<Token, 13> tokens{{
    {u"!название", Field::Name},
    {u"!качество", Field::Bitrate},
    {u"!станция", Field::Station},
    {u"!артист", Field::Author},
    {u"!размер", Field::Size},
    {u"!альбом", Field::Album},
    {u"!время", Field::Duration},
    {u"!адрес", Field::Source},
    {u"!номер", Field::Number},
    {u"!жанр", Field::Genre},
    {u"!тип", Field::Type},
    {u"!год", Field::Year},
    {u"!-", Field::Dash},
}};

QString valueOf(Field field, const NowPlaying& track) {
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
        return track.author.isEmpty() ? QString() : u"-"_s;
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

} // namespace

QString blankControls(QString value) {
    for (QChar& c : value) {
        if (c < u' ' || c == u'\x7f')
            c = u' ';
    }
    return value;
}

QString defaultFormat() {
    return u"/me слушает !артист - !название [!время]"_s;
}

QString buildLine(const QString& format, const NowPlaying& track, const ValueEscaper& escape) {
    QString line;
    line.reserve(format.size() + 64);
    const QStringView rest(format);
    qsizetype i = 0;
    while (i < rest.size()) {
        const Token* found = nullptr;
        if (rest[i] == u'!') {
            for (const Token& token : tokens) {
                if (rest.sliced(i).startsWith(token.text)) {
                    found = &token;
                    break;
                }
            }
        }
        if (!found) {
            line.append(rest[i]);
            ++i;
            continue;
        }
        QString value = blankControls(valueOf(found->field, track));
        if (escape)
            value = escape(value);
        if (line.isEmpty() && value.startsWith(u'/'))
            line.append(u' ');
        line.append(value);
        i += found->text.size();
    }
    return line;
}

QString buildLine(const QString& format, const NowPlaying& track, const IrcLink& link) {
    return buildLine(format, track, [&link](const QString& v) { return link.escapeValue(v); });
}

QString sizeInMegabytes(const QString& bytes) {
    const QString digits = bytes.trimmed();
    if (digits.isEmpty())
        return {};
    for (QChar c : digits) {
        if (c < u'0' || c > u'9')
            return {};
    }
    bool ok = false;
    const std::uint64_t n = digits.toULongLong(&ok);
    if (!ok)
        return {};
    // Hundredths of a megabyte, rounded down, without overflowing on huge sizes.
    constexpr std::uint64_t mb = 1024 * 1024;
    const std::uint64_t hundredths = n / mb * 100 + n % mb * 100 / mb;
    const std::uint64_t whole = hundredths / 100;
    const std::uint64_t fraction = hundredths % 100;
    if (whole == 0 && fraction == 0)
        return u"0"_s;
    QString text = whole == 0 ? QString() : QString::number(whole);
    if (fraction != 0) {
        text += u'.';
        text += QChar(u'0' + char16_t(fraction / 10));
        if (fraction % 10 != 0)
            text += QChar(u'0' + char16_t(fraction % 10));
    }
    return text;
}

} // namespace announce
