// Fuzzes the announcement line builder with an arbitrary format and arbitrary field values.
// Input: the format and the twelve values (author, title, length, bitrate, size, path, type,
// album, year, genre, track number, station) as UTF-8, separated by 0xFF bytes, which UTF-8
// never holds.
// Invariants, for every client's escaping: no control character (CR, LF, NUL, the \x01 of a
// client request, ...) from a value reaches the line; no "|" from a value reaches the DDE line; a
// value is never read again for tokens, so the line is the format with each token replaced by its
// value as it stands.
#include "announce/format.h"
#include "announce/irc_link.h"
#include "announce/mirc_dde.h"
#include "tests/fuzz/fuzz_input.h"

#include <QList>
#include <QString>

#include <algorithm>
#include <array>

namespace announce {
// The DDE link's system half, which this target never reaches: only its escaping is fuzzed.
MircSender makeMircSender() {
    return [](const std::wstring&) { return false; };
}
} // namespace announce

namespace {

constexpr char16_t kFirstMarker = 0xE000; // private use: never in a format we check with them
constexpr char16_t kLastMarker = 0xF8FF;

bool holdsMarkers(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() >= kFirstMarker && c.unicode() <= kLastMarker)
            return true;
    return false;
}

void checkLine(const QString& format, const announce::NowPlaying& track,
               const announce::ValueEscaper& escape, bool dde) {
    const QString line = announce::buildLine(format, track, escape);
    const auto controls = [](const QString& text) {
        return std::count_if(text.begin(), text.end(),
                             [](QChar c) { return c < u' ' || c == u'\x7f'; });
    };
    FUZZ_CHECK(controls(line) == controls(format));
    if (dde)
        FUZZ_CHECK(line.count(u'|') == format.count(u'|'));
    if (holdsMarkers(format))
        return;

    // The same format with every inserted value swapped for a marker of its own, then each
    // marker put back as the value: what the line must be if no value was read for tokens.
    // Each inserted value is a field as it stands, control characters blanked, never rewritten.
    const QString dash = track.author.isEmpty() ? QString() : QStringLiteral("-");
    QList<QString> fields{track.author,    track.name,        track.durationString, track.bitrate,
                          track.sourceURL, track.fileType,    track.album,          track.year,
                          track.genre,     track.trackNumber, track.station};
    for (QString& field : fields)
        field = announce::blankControls(field);
    fields << announce::sizeInMegabytes(track.fileSize) << dash;
    QList<QString> inserted;
    const QString shape = announce::buildLine(format, track, [&](const QString& value) {
        FUZZ_CHECK(fields.contains(value));
        inserted << (escape ? escape(value) : value);
        return QString(QChar(char16_t(kFirstMarker + inserted.size() - 1)));
    });
    FUZZ_CHECK(inserted.size() <= kLastMarker - kFirstMarker);
    QString expected;
    for (const QChar c : shape) {
        if (c.unicode() < kFirstMarker || c.unicode() > kLastMarker) {
            expected += c;
            continue;
        }
        const QString& value = inserted[c.unicode() - kFirstMarker];
        if (expected.isEmpty() && value.startsWith(u'/'))
            expected += u' '; // a value never chooses the command
        expected += value;
    }
    FUZZ_CHECK(line == expected);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    std::array<QString, 13> parts;
    std::string_view rest = input.rest();
    for (QString& part : parts) {
        const std::size_t end = rest.find('\xFF');
        const std::string_view bytes = rest.substr(0, end);
        part = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    }
    const QString& format = parts[0];
    const announce::NowPlaying track{parts[1], parts[2], parts[3], parts[4],  parts[5],  parts[6],
                                     parts[7], parts[8], parts[9], parts[10], parts[11], parts[12]};

    checkLine(format, track, nullptr, false);
    const auto dde = announce::makeIrcLink();
    checkLine(
        format, track, [&](const QString& value) { return dde->escapeValue(value); }, true);
    return 0;
}
