#include "announce/format.h"

#include "support/case_name.h"

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using announce::NowPlaying;

namespace {

NowPlaying tagged() {
    return {u"A"_s,  u"B"_s, u"03:45"_s, u"128000"_s, u"3456789"_s, u"/home/me/music/b.mp3"_s,
            u"mp3"_s};
}

NowPlaying detailed() {
    NowPlaying track = tagged();
    track.album = u"Герой асфальта"_s;
    track.year = u"1987"_s;
    track.genre = u"Heavy metal"_s;
    track.trackNumber = u"3"_s;
    track.station = u"Tunelark FM"_s;
    return track;
}

NowPlaying untagged() {
    NowPlaying track = tagged();
    track.author.clear();
    return track;
}

NowPlaying titled(const QString& name) {
    NowPlaying track = tagged();
    track.name = name;
    return track;
}

QString tenThousandTokens() {
    return u"!артист!название!время!качество!размер!адрес!тип!-"_s.repeated(1250);
}

struct LineCase {
    const char* what;
    QString format;
    NowPlaying track;
    QString expected;
};

class BuildLine : public testing::TestWithParam<LineCase> {};

TEST_P(BuildLine, GivesTheExpectedLine) {
    const LineCase& c = GetParam();
    EXPECT_EQ(announce::buildLine(c.format, c.track, nullptr), c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Formats, BuildLine,
    testing::Values(LineCase{"default format", announce::defaultFormat(), tagged(),
                             u"/me слушает A - B [03:45]"_s},
                    LineCase{"default format keeps its fixed dash without an author",
                             announce::defaultFormat(), untagged(), u"/me слушает  - B [03:45]"_s},
                    LineCase{"conditional dash with an author", u"!артист !- !название"_s, tagged(),
                             u"A - B"_s},
                    LineCase{"conditional dash without an author", u"!артист !- !название"_s,
                             untagged(), u"  B"_s},
                    LineCase{"every token",
                             u"!артист|!название|!время|!качество|!размер|!адрес|!тип"_s, tagged(),
                             u"A|B|03:45|128000|3.29|/home/me/music/b.mp3|mp3"_s},
                    LineCase{"more details", u"!номер|!альбом|!год|!жанр|!станция"_s, detailed(),
                             u"3|Герой асфальта|1987|Heavy metal|Tunelark FM"_s},
                    LineCase{"each empty when missing", u"!альбом|!год|!жанр|!номер|!станция"_s,
                             tagged(), u"||||"_s},
                    LineCase{"doubled token", u"!название и !название"_s, tagged(), u"B и B"_s},
                    LineCase{"tokens side by side", u"!артист!название"_s, tagged(), u"AB"_s},
                    LineCase{"no tokens", u"/me молчит! !! !Артист !"_s, tagged(),
                             u"/me молчит! !! !Артист !"_s},
                    LineCase{"empty format", QString(), tagged(), QString()},
                    LineCase{"Cyrillic values", announce::defaultFormat(),
                             NowPlaying{u"Кино"_s, u"Группа крови"_s, u"04:46"_s, {}, {}, {}, {}},
                             u"/me слушает Кино - Группа крови [04:46]"_s},
                    LineCase{"a value is never searched for tokens", u"!название [!время]"_s,
                             titled(u"x !адрес !время !-"_s), u"x !адрес !время !- [03:45]"_s},
                    LineCase{"a value and the format text after it never make a token",
                             u"!название-!тип"_s, NowPlaying{{}, u"x!"_s, {}, {}, {}, {}, u"!"_s},
                             u"x!-!"_s},
                    LineCase{"control characters in a value are blanked", u"/me !название"_s,
                             titled(u"B\r\n/quit\nx\0y\x01z\x7f"_s), u"/me B  /quit x y z "_s},
                    LineCase{"a value cannot choose the command", u"!название"_s,
                             titled(u"/exec rm -rf ~"_s), u" /exec rm -rf ~"_s},
                    LineCase{"nor after empty values", u"!артист!название"_s,
                             NowPlaying{{}, u"/quit"_s, {}, {}, {}, {}, {}}, u" /quit"_s},
                    LineCase{"a title of ten thousand tokens stays as it is", u"/me !название"_s,
                             titled(tenThousandTokens()), u"/me "_s + tenThousandTokens()},
                    LineCase{"a slash later in the line is left alone", u"!артист !название"_s,
                             NowPlaying{u"AC/DC"_s, u"/x"_s, {}, {}, {}, {}, {}}, u"AC/DC /x"_s}),
    testsupport::NameByWhat());

TEST(BuildLineEscaping, AppliesTheLinksEscapingToValuesOnly) {
    class PipeEscapingLink : public announce::IrcLink {
    public:
        QString escapeValue(const QString& value) const override {
            return QString(value).replace(u'|', u'¦');
        }
        bool send(const QString&) override { return false; }
    } link;
    const NowPlaying track = titled(u"x | /run evil\n| y"_s);
    EXPECT_EQ(announce::buildLine(u"/me | !название | !артист"_s, track, link),
              u"/me | x ¦ /run evil ¦ y | A"_s);
}

TEST(BuildLineEscaping, BlanksLineBreaksBeforeEscaping) {
    const auto escape = [](const QString& value) {
        return value.contains(u'\n') ? u"not blanked"_s : value;
    };
    EXPECT_EQ(announce::buildLine(u"!название"_s, titled(u"a\nb"_s), escape), u"a b"_s);
}

struct SizeCase {
    QString bytes;
    QString expected;
};

class SizeInMegabytes : public testing::TestWithParam<SizeCase> {};

TEST_P(SizeInMegabytes, IsTruncatedToHundredthsWithoutLeadingOrTrailingZeros) {
    EXPECT_EQ(announce::sizeInMegabytes(GetParam().bytes), GetParam().expected)
        << GetParam().bytes.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, SizeInMegabytes,
    testing::Values(SizeCase{u"3456789"_s, u"3.29"_s}, SizeCase{u"5242880"_s, u"5"_s},
                    SizeCase{u"524288"_s, u".5"_s}, SizeCase{u"10486"_s, u".01"_s},
                    SizeCase{u"10485"_s, u"0"_s}, SizeCase{u"10000"_s, u"0"_s},
                    SizeCase{u"0"_s, u"0"_s}, SizeCase{u"1048575"_s, u".99"_s},
                    SizeCase{u"1048576"_s, u"1"_s}, SizeCase{u"11010048"_s, u"10.5"_s},
                    SizeCase{u"110100480"_s, u"105"_s},
                    // 2^64 - 1 bytes: the arithmetic must not overflow
                    SizeCase{u"18446744073709551615"_s, u"17592186044415.99"_s},
                    SizeCase{QString(), QString()}, SizeCase{u"abc"_s, QString()},
                    SizeCase{u"-5"_s, QString()}, SizeCase{u"12.5"_s, QString()},
                    SizeCase{u"99999999999999999999999"_s, QString()}),
    [](const testing::TestParamInfo<SizeCase>& info) {
        const auto words = [](const QString& text) {
            return text.isEmpty() ? std::string("nothing") : text.toStdString();
        };
        return testsupport::caseName(words(info.param.bytes) + " gives " +
                                     words(info.param.expected));
    });

TEST(SizeToken, IsEmptyForAnEmptyFileSize) {
    NowPlaying track = tagged();
    track.fileSize.clear();
    EXPECT_EQ(announce::buildLine(u"[!размер]"_s, track, nullptr), u"[]"_s);
}

} // namespace
