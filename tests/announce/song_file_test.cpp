#include "announce/song_file.h"

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;
using announce::NowPlaying;

namespace {

struct ContentCase {
    const char* what;
    NowPlaying track;
    QByteArray expected;
};

class SongFileContent : public testing::TestWithParam<ContentCase> {};

TEST_P(SongFileContent, HoldsFourCrlfLines) {
    const ContentCase& c = GetParam();
    EXPECT_EQ(announce::songFileBytes(c.track), c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Tracks, SongFileContent,
    testing::Values(
        ContentCase{"tagged track",
                    {u"A"_s, u"B"_s, u"03:45"_s, u"128000"_s, u"1"_s, u"/x.mp3"_s, u"mp3"_s},
                    "A\r\nB\r\n03:45\r\n128000\r\n"},
        ContentCase{"untagged track",
                    {{}, u"b.mp3"_s, u"00:05"_s, {}, {}, {}, {}},
                    "\r\nb.mp3\r\n00:05\r\n\r\n"},
        ContentCase{"Cyrillic in the locale's encoding (UTF-8 here)",
                    {u"Кино"_s, u"Звезда"_s, u"04:00"_s, u"320000"_s, {}, {}, {}},
                    "\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE\r\n\xD0\x97\xD0\xB2\xD0\xB5\xD0\xB7\xD0"
                    "\xB4\xD0\xB0\r\n04:00\r\n320000\r\n"},
        ContentCase{"a line break in a tag keeps the file at four lines",
                    {u"A\r\nB"_s, u"x\ny"_s, {}, {}, {}, {}, {}},
                    "A  B\r\nx y\r\n\r\n\r\n"}));

} // namespace
