#include "announce/format.h"
#include "announce/irc_link.h"
#include "text/text.h"

#include "support/case_name.h"

#include <gtest/gtest.h>

using playback::Track;

namespace {

Track tagged() {
    return {.sourceURL = "/home/me/music/b.mp3",
            .name = "B",
            .author = "A",
            .durationString = "03:45",
            .bitrate = "128000",
            .fileSize = "3456789",
            .fileType = "mp3"};
}

Track detailed() {
    Track track = tagged();
    track.album = "Герой асфальта";
    track.year = "1987";
    track.genre = "Heavy metal";
    track.trackNumber = "3";
    track.station = "Tunelark FM";
    return track;
}

Track untagged() {
    Track track = tagged();
    track.author.clear();
    return track;
}

Track titled(const std::string& name) {
    Track track = tagged();
    track.name = name;
    return track;
}

std::string tenThousandTokens() {
    std::string text;
    for (int i = 0; i < 1250; ++i)
        text += "!артист!название!время!качество!размер!адрес!тип!-";
    return text;
}

struct LineCase {
    const char* what;
    std::string format;
    Track track;
    std::string expected;
};

class BuildLine : public testing::TestWithParam<LineCase> {};

TEST_P(BuildLine, GivesTheExpectedLine) {
    const LineCase& c = GetParam();
    EXPECT_EQ(announce::buildLine(c.format, c.track, nullptr), c.expected) << c.what;
}

using namespace std::string_literals;

INSTANTIATE_TEST_SUITE_P(
    Formats, BuildLine,
    testing::Values(
        LineCase{"default format", announce::defaultFormat(), tagged(),
                 "/me слушает A - B [03:45]"},
        LineCase{"default format keeps its fixed dash without an author", announce::defaultFormat(),
                 untagged(), "/me слушает  - B [03:45]"},
        LineCase{"conditional dash with an author", "!артист !- !название", tagged(), "A - B"},
        LineCase{"conditional dash without an author", "!артист !- !название", untagged(), "  B"},
        LineCase{"every token", "!артист|!название|!время|!качество|!размер|!адрес|!тип", tagged(),
                 "A|B|03:45|128000|3.29|/home/me/music/b.mp3|mp3"},
        LineCase{"more details", "!номер|!альбом|!год|!жанр|!станция", detailed(),
                 "3|Герой асфальта|1987|Heavy metal|Tunelark FM"},
        LineCase{"each empty when missing", "!альбом|!год|!жанр|!номер|!станция", tagged(), "||||"},
        LineCase{"doubled token", "!название и !название", tagged(), "B и B"},
        LineCase{"tokens side by side", "!артист!название", tagged(), "AB"},
        LineCase{"no tokens", "/me молчит! !! !Артист !", tagged(), "/me молчит! !! !Артист !"},
        LineCase{"empty format", "", tagged(), ""},
        LineCase{"Cyrillic values", announce::defaultFormat(),
                 Track{.name = "Группа крови", .author = "Кино", .durationString = "04:46"},
                 "/me слушает Кино - Группа крови [04:46]"},
        LineCase{"a value is never searched for tokens", "!название [!время]",
                 titled("x !адрес !время !-"), "x !адрес !время !- [03:45]"},
        LineCase{"a value and the format text after it never make a token", "!название-!тип",
                 Track{.name = "x!", .fileType = "!"}, "x!-!"},
        LineCase{"control characters in a value are blanked", "/me !название",
                 titled("B\r\n/quit\nx\0y\x01z\x7f"s), "/me B  /quit x y z "},
        LineCase{"a value cannot choose the command", "!название", titled("/exec rm -rf ~"),
                 " /exec rm -rf ~"},
        LineCase{"nor after empty values", "!артист!название", Track{.name = "/quit"}, " /quit"},
        LineCase{"a station's empty length goes with its brackets", announce::defaultFormat(),
                 Track{.name = "Радио"}, "/me слушает  - Радио"},
        LineCase{"a group without tokens stays", "[np] !название (!год)", untagged(), "[np] B"},
        LineCase{"a group with one token filled stays", "[!артист (!год)]", tagged(), "[A]"},
        LineCase{"a group holding only an empty group goes", "x [(!год)]", tagged(), "x"},
        LineCase{"nested empty groups go", "x [!альбом (!год)]!", untagged(), "x!"},
        LineCase{"an unclosed group is text", "[!альбом !название", untagged(), "[ B"},
        LineCase{"a slash later in the line is left alone", "!артист !название",
                 Track{.name = "/x", .author = "AC/DC"}, "AC/DC /x"}),
    testsupport::NameByWhat());

TEST(BuildLineEscaping, AppliesTheLinksEscapingToValuesOnly) {
    class PipeEscapingLink : public announce::IrcLink {
    public:
        std::string escapeValue(const std::string& value) const override {
            return announce::escapeCommandSeparator(value);
        }
        bool send(const std::string&) override { return false; }
    } link;
    const Track track = titled("x | /run evil\n| y");
    EXPECT_EQ(announce::buildLine("/me | !название | !артист", track, link),
              "/me | x ¦ /run evil ¦ y | A");
}

TEST(BuildLineEscaping, BlanksLineBreaksBeforeEscaping) {
    const auto escape = [](const std::string& value) {
        return value.find('\n') != std::string::npos ? "not blanked" : value;
    };
    EXPECT_EQ(announce::buildLine("!название", titled("a\nb"), escape), "a b");
}

struct SizeCase {
    std::string bytes;
    std::string expected;
};

class SizeInMegabytes : public testing::TestWithParam<SizeCase> {};

TEST_P(SizeInMegabytes, IsTruncatedToHundredthsWithoutLeadingOrTrailingZeros) {
    EXPECT_EQ(announce::sizeInMegabytes(GetParam().bytes), GetParam().expected) << GetParam().bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, SizeInMegabytes,
    testing::Values(SizeCase{"3456789", "3.29"}, SizeCase{"5242880", "5"}, SizeCase{"524288", ".5"},
                    SizeCase{"10486", ".01"}, SizeCase{"10485", "0"}, SizeCase{"10000", "0"},
                    SizeCase{"0", "0"}, SizeCase{"1048575", ".99"}, SizeCase{"1048576", "1"},
                    SizeCase{"11010048", "10.5"}, SizeCase{"110100480", "105"},
                    // 2^64 - 1 bytes: the arithmetic must not overflow
                    SizeCase{"18446744073709551615", "17592186044415.99"},
                    SizeCase{"18446744073709551616", ""}, SizeCase{"", ""}, SizeCase{"abc", ""},
                    SizeCase{"-5", ""}, SizeCase{"12.5", ""},
                    SizeCase{"99999999999999999999999", ""}),
    [](const testing::TestParamInfo<SizeCase>& info) {
        const auto words = [](const std::string& text) {
            return text.empty() ? std::string("nothing") : text;
        };
        return testsupport::caseName(words(info.param.bytes) + " gives " +
                                     words(info.param.expected));
    });

// One track, one IRC message: a hostile title is cut between characters, and its tokens are
// never searched.
TEST(BuildLineLength, ALongLineIsCutToOneMessage) {
    for (const std::string& title : {tenThousandTokens(), std::string(400 * 2, 'x')}) {
        const std::string line = announce::buildLine("/me !название", titled(title), nullptr);
        EXPECT_LE(line.size(), announce::kMaxLineBytes);
        EXPECT_TRUE(line.starts_with("/me " + title.substr(0, 40)));
        EXPECT_TRUE(line.ends_with("…"));
        EXPECT_EQ(text::validUtf8(line), line);
    }
    const std::string fits(announce::kMaxLineBytes, 'x');
    EXPECT_EQ(announce::buildLine("!название", titled(fits), nullptr), fits);
}

TEST(SizeToken, IsEmptyForAnEmptyFileSize) {
    Track track = tagged();
    track.fileSize.clear();
    EXPECT_EQ(announce::buildLine("!размер", track, nullptr), "");
}

} // namespace
