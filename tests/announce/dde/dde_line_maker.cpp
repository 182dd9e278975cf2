// The Linux side of the Windows announcement test. Builds each line of the table below with the
// real format and the real portable half of the Windows link, and keeps what that half hands
// to the system half as "line-N.utf16" (UTF-16LE), beside "line-N.expected": the exact bytes
// mIRC must get, without the final NUL. The driver then sends each line under Wine.
#include "announce/format.h"
#include "announce/irc_link.h"
#include "announce/mirc_dde.h"

#include <QFile>
#include <QString>

#include <bit>
#include <cstdio>

using namespace Qt::Literals::StringLiterals;
using announce::NowPlaying;

namespace {

int linesSent = 0;

QString lineFile(int n, const char* suffix) {
    return u"line-%1.%2"_s.arg(n).arg(QLatin1String(suffix));
}

bool put(const QString& name, const QByteArray& bytes) {
    QFile file(name);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

struct LineCase {
    const char* behaviour;
    QString format;
    NowPlaying track;
    QByteArray expected;
};

NowPlaying track(const QString& author, const QString& name) {
    return {author, name, u"04:46"_s, {}, {}, {}, {}};
}

const LineCase kCases[] = {
    {"Cyrillic in CP1251", announce::defaultFormat(), track(u"Кино"_s, u"Группа крови"_s),
     "/me \xF1\xEB\xF3\xF8\xE0\xE5\xF2 \xCA\xE8\xED\xEE - \xC3\xF0\xF3\xEF\xEF\xE0 "
     "\xEA\xF0\xEE\xE2\xE8 [04:46]"},
    {"a | from a tag as a broken bar, one typed in the format kept", u"!артист | !название"_s,
     track(u"A|B"_s, u"x | /quit"_s),
     "A\xA6"
     "B | x \xA6 /quit"},
    {"CR and LF from a tag as blanks", u"/me !название"_s, track({}, u"a\r\nb\nc\rd"_s),
     "/me a  b c d"},
    {"a character CP1251 lacks as the replacement, the rest kept", u"/me !артист - !название"_s,
     track(u"Хикару"_s, u"初恋 First Love"_s), "/me \xD5\xE8\xEA\xE0\xF0\xF3 - ?? First Love"},
    {"a look-alike of | never becomes one", u"!название"_s, track({}, u"a\uFF5Cb"_s), "a?b"},
};

} // namespace

namespace announce {

// Stands in for the system half, which only Windows has: keeps each line as it would get it.
MircSender makeMircSender() {
    return [](const std::wstring& line) {
        static_assert(std::endian::native == std::endian::little);
        const std::u16string utf16 = QString::fromStdWString(line).toStdU16String();
        const QByteArray bytes(reinterpret_cast<const char*>(utf16.data()),
                               qsizetype(utf16.size() * sizeof(char16_t)));
        return put(lineFile(linesSent++, "utf16"), bytes);
    };
}

} // namespace announce

int main() {
    const std::unique_ptr<announce::IrcLink> link = announce::makeIrcLink();
    for (const LineCase& c : kCases) {
        const int n = linesSent;
        const QString line = announce::buildLine(c.format, c.track, *link);
        if (!link->send(line) || !put(lineFile(n, "expected"), c.expected)) {
            std::printf("dde_line_maker: cannot write line %d\n", n);
            return 1;
        }
        std::printf("line-%d: %s\n", n, c.behaviour);
    }
    return 0;
}
