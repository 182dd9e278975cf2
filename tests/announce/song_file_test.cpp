#include "announce/song_file.h"
#include "announce/wall_time.h"
#include "settings/code_page.h"

#include "support/case_name.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace std::string_literals;
using playback::Track;

namespace {

struct ContentCase {
    const char* what;
    Track track;
    std::string expected; // as UTF-8; the file holds it in the system's code page
};

class SongFileContent : public testing::TestWithParam<ContentCase> {};

TEST_P(SongFileContent, HoldsFourCrlfLines) {
    const ContentCase& c = GetParam();
    EXPECT_EQ(announce::songFileBytes(c.track), text::toAnsi(c.expected)) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Tracks, SongFileContent,
                         testing::Values(ContentCase{"tagged track",
                                                     {.sourceURL = "/x.mp3",
                                                      .name = "B",
                                                      .author = "A",
                                                      .durationString = "03:45",
                                                      .bitrate = "128000",
                                                      .fileSize = "1",
                                                      .fileType = "mp3"},
                                                     "A\r\nB\r\n03:45\r\n128000\r\n"},
                                         ContentCase{"untagged track",
                                                     {.name = "b.mp3", .durationString = "00:05"},
                                                     "\r\nb.mp3\r\n00:05\r\n\r\n"},
                                         ContentCase{"Cyrillic in the system's code page",
                                                     {.name = "Звезда",
                                                      .author = "Кино",
                                                      .durationString = "04:00",
                                                      .bitrate = "320000"},
                                                     "Кино\r\nЗвезда\r\n04:00\r\n320000\r\n"},
                                         ContentCase{
                                             "a line break in a tag keeps the file at four lines",
                                             {.name = "x\ny", .author = "A\r\nB"},
                                             "A  B\r\nx y\r\n\r\n\r\n"}),
                         testsupport::NameByWhat());

TEST(SongFileContent, IsUtf8WhereTheSystemIs) {
    if (text::ansiCharset() != profile::Charset::Utf8)
        GTEST_SKIP() << "a single-byte code page here";
    EXPECT_EQ(announce::songFileBytes({.author = "Кино"}),
              "\xD0\x9A\xD0\xB8\xD0\xBD\xD0\xBE\r\n\r\n\r\n\r\n");
}

struct JsonCase {
    const char* what;
    Track track;
    bool paused;
    announce::WallTime startedAt;
    std::string expected;
};

class SongJson : public testing::TestWithParam<JsonCase> {};

TEST_P(SongJson, HoldsTheTrackTheStateAndTheStartOneKeyToALine) {
    const JsonCase& c = GetParam();
    EXPECT_EQ(announce::songJsonBytes(c.track, c.paused, c.startedAt), c.expected) << c.what;
}

constexpr int64_t k20240501At123456 = 1714566896000; // 2024-05-01 12:34:56 UTC
const announce::WallTime kMoscow{k20240501At123456 - 3 * 3600 * 1000 + 789, 180};

Track radio() {
    return {.sourceURL = "http://127.0.0.1:8000/r",
            .name = "Позывные",
            .bitrate = "128000",
            .fileType = "mp3",
            .station = "Tunelark FM"};
}

Track hostile() {
    return {.name = "B\r\n/quit\0\\\x01"s,
            .author = "a\"},\n\"x\": 1, \"y",
            .seconds = -1.0,
            .bitrate = "12abc",
            .fileSize = "-5",
            .fileType = "\xFF\xFE"};
}

INSTANTIATE_TEST_SUITE_P(
    Tracks, SongJson,
    testing::Values(JsonCase{"every detail, playing",
                             {.sourceURL = "/m/z.mp3",
                              .name = "Звезда",
                              .author = "Кино",
                              .durationString = "04:00",
                              .seconds = 240.0417,
                              .bitrate = "320000",
                              .fileSize = "9800000",
                              .fileType = "mp3",
                              .album = "Звезда по имени Солнце",
                              .year = "1989",
                              .genre = "Rock",
                              .trackNumber = "7"},
                             false,
                             kMoscow,
                             "{\n"
                             "    \"album\": \"Звезда по имени Солнце\",\n"
                             "    \"artist\": \"Кино\",\n"
                             "    \"bitrate\": 320000,\n"
                             "    \"duration\": 240.042,\n"
                             "    \"genre\": \"Rock\",\n"
                             "    \"path\": \"/m/z.mp3\",\n"
                             "    \"size\": 9800000,\n"
                             "    \"started\": \"2024-05-01T12:34:56.789+03:00\",\n"
                             "    \"state\": \"playing\",\n"
                             "    \"station\": \"\",\n"
                             "    \"title\": \"Звезда\",\n"
                             "    \"track\": \"7\",\n"
                             "    \"type\": \"mp3\",\n"
                             "    \"year\": \"1989\"\n"
                             "}\n"},
                    JsonCase{"a paused web radio: unknown numbers are null", radio(), true,
                             announce::WallTime{1704164645000, 0},
                             "{\n"
                             "    \"album\": \"\",\n"
                             "    \"artist\": \"\",\n"
                             "    \"bitrate\": 128000,\n"
                             "    \"duration\": null,\n"
                             "    \"genre\": \"\",\n"
                             "    \"path\": \"http://127.0.0.1:8000/r\",\n"
                             "    \"size\": null,\n"
                             "    \"started\": \"2024-01-02T03:04:05.000Z\",\n"
                             "    \"state\": \"paused\",\n"
                             "    \"station\": \"Tunelark FM\",\n"
                             "    \"title\": \"Позывные\",\n"
                             "    \"track\": \"\",\n"
                             "    \"type\": \"mp3\",\n"
                             "    \"year\": \"\"\n"
                             "}\n"},
                    JsonCase{"hostile text stays text, exactly; numbers that are none are null",
                             hostile(), false, announce::WallTime{-1, -90},
                             "{\n"
                             "    \"album\": \"\",\n"
                             "    \"artist\": \"a\\\"},\\n\\\"x\\\": 1, \\\"y\",\n"
                             "    \"bitrate\": null,\n"
                             "    \"duration\": null,\n"
                             "    \"genre\": \"\",\n"
                             "    \"path\": \"\",\n"
                             "    \"size\": null,\n"
                             "    \"started\": \"1969-12-31T22:29:59.999-01:30\",\n"
                             "    \"state\": \"playing\",\n"
                             "    \"station\": \"\",\n"
                             "    \"title\": \"B\\r\\n/quit\\u0000\\\\\\u0001\",\n"
                             "    \"track\": \"\",\n"
                             "    \"type\": \"\xEF\xBF\xBD\xEF\xBF\xBD\",\n"
                             "    \"year\": \"\"\n"
                             "}\n"}),
    testsupport::NameByWhat());

TEST(WallTime, OffsetIsTheLocalTimesOwn) {
    // Whatever the zone, an offset is whole minutes within a day, and now reads as now.
    const announce::WallTime now = announce::wallTimeNow();
    EXPECT_GT(now.unixMs, k20240501At123456);
    EXPECT_LT(std::abs(now.offsetMinutes), 24 * 60);
    EXPECT_EQ(announce::utcOffsetMinutes(now.unixMs / 1000), now.offsetMinutes);
}

} // namespace
