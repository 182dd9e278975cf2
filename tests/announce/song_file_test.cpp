#include "announce/song_file.h"

#include "support/case_name.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

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
                    "A  B\r\nx y\r\n\r\n\r\n"}),
    testsupport::NameByWhat());

struct JsonCase {
    const char* what;
    NowPlaying track;
    bool paused;
    QDateTime startedAt;
    QJsonObject expected; // these keys; every key is always there
};

class SongJson : public testing::TestWithParam<JsonCase> {};

TEST_P(SongJson, HoldsTheTrackTheStateAndTheStart) {
    const JsonCase& c = GetParam();
    const QByteArray bytes = announce::songJsonBytes(c.track, c.paused, c.startedAt);
    QJsonParseError error;
    const QJsonObject json = QJsonDocument::fromJson(bytes, &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << c.what << bytes.toStdString();
    EXPECT_EQ(json.keys(),
              QStringList({u"album"_s, u"artist"_s, u"bitrate"_s, u"duration"_s, u"genre"_s,
                           u"path"_s, u"size"_s, u"started"_s, u"state"_s, u"station"_s, u"title"_s,
                           u"track"_s, u"type"_s, u"year"_s}));
    for (auto it = c.expected.begin(); it != c.expected.end(); ++it)
        EXPECT_EQ(json.value(it.key()), it.value()) << c.what << " " << it.key().toStdString();
    EXPECT_EQ(QString::fromUtf8(bytes).toUtf8(), bytes) << "UTF-8, " << c.what;
}

NowPlaying radio() {
    NowPlaying track{{},      u"Позывные"_s, {}, u"128000"_s, {}, u"http://127.0.0.1:8000/r"_s,
                     u"mp3"_s};
    track.station = u"Tunelark FM"_s;
    return track;
}

NowPlaying hostile() {
    NowPlaying track{
        u"a\"},\n\"x\": 1, \"y"_s, u"B\r\n/quit\0\\"_s, {}, u"12abc"_s, u"-5"_s, {}, {}};
    track.seconds = -1.0;
    return track;
}

const QDateTime kMoscow(QDate(2024, 5, 1), QTime(12, 34, 56), Qt::OffsetFromUTC, 10800);

INSTANTIATE_TEST_SUITE_P(
    Tracks, SongJson,
    testing::Values(JsonCase{"every detail, playing",
                             {u"Кино"_s,
                              u"Звезда"_s,
                              u"04:00"_s,
                              u"320000"_s,
                              u"9800000"_s,
                              u"/m/z.mp3"_s,
                              u"mp3"_s,
                              u"Звезда по имени Солнце"_s,
                              u"1989"_s,
                              u"Rock"_s,
                              u"7"_s,
                              {},
                              240.0417},
                             false,
                             kMoscow,
                             {{u"artist"_s, u"Кино"_s},
                              {u"title"_s, u"Звезда"_s},
                              {u"album"_s, u"Звезда по имени Солнце"_s},
                              {u"year"_s, u"1989"_s},
                              {u"genre"_s, u"Rock"_s},
                              {u"track"_s, u"7"_s},
                              {u"station"_s, u""_s},
                              {u"duration"_s, 240.042},
                              {u"bitrate"_s, 320000},
                              {u"size"_s, 9800000},
                              {u"path"_s, u"/m/z.mp3"_s},
                              {u"type"_s, u"mp3"_s},
                              {u"state"_s, u"playing"_s},
                              {u"started"_s, u"2024-05-01T12:34:56.000+03:00"_s}}},
                    JsonCase{"a paused web radio: unknown numbers are null",
                             radio(),
                             true,
                             QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5), Qt::UTC),
                             {{u"artist"_s, u""_s},
                              {u"station"_s, u"Tunelark FM"_s},
                              {u"duration"_s, QJsonValue::Null},
                              {u"size"_s, QJsonValue::Null},
                              {u"state"_s, u"paused"_s},
                              {u"started"_s, u"2024-01-02T03:04:05.000Z"_s}}},
                    JsonCase{"hostile text stays text, exactly; numbers that are none are null",
                             hostile(),
                             false,
                             kMoscow,
                             {{u"artist"_s, u"a\"},\n\"x\": 1, \"y"_s},
                              {u"title"_s, u"B\r\n/quit\0\\"_s},
                              {u"duration"_s, QJsonValue::Null},
                              {u"bitrate"_s, QJsonValue::Null},
                              {u"size"_s, QJsonValue::Null}}}));

} // namespace
