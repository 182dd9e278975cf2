// The rules for a track's text: its display name and length, a web radio's title, and tags.
#include "playback/track.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

using namespace playback;

namespace {

std::string repeated(std::string_view text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

TEST(StreamTitle, GivesArtistAndTitleOnlyInTheUsualForm) {
    const std::string longText = repeated("я", 5000);
    const struct {
        std::string stream, artist, title;
    } cases[] = {
        {"Ария - Беспечный ангел", "Ария", "Беспечный ангел"},
        {"Позывные станции", {}, "Позывные станции"},
        {"  A  -  B - C ", "A", "B - C"},
        {"AC/DC - T.N.T.", "AC/DC", "T.N.T."},
        {" - B", {}, "- B"},
        {"A - ", {}, "A -"},
        {"A-B", {}, "A-B"},
        {"/quit - !адрес\r\n/exec x", "/quit", "!адрес  /exec x"},
        {"x\x01VERSION\x01 - \x03"
         "4red\t\x7f",
         "x VERSION", "4red"},
        {longText + " - x", longText, "x"},
        {"\x01\x02 \r\n", {}, {}},
        {{}, {}, {}},
    };
    for (const auto& c : cases) {
        const StreamTitle split = splitStreamTitle(c.stream);
        EXPECT_EQ(split.artist, c.artist) << c.stream.substr(0, 40);
        EXPECT_EQ(split.title, c.title) << c.stream.substr(0, 40);
    }
}

TEST(TagText, GivesTheYearAndTheTrackNumber) {
    const std::pair<const char*, const char*> years[] = {{"2003", "2003"},
                                                         {"2003-05-01", "2003"},
                                                         {"2003/05", "2003"},
                                                         {" 1999 ", "1999"},
                                                         {"20031", "20031"},
                                                         {"май 2003", "май 2003"},
                                                         {"", ""}};
    for (auto [tag, year] : years)
        EXPECT_EQ(yearOf(tag), year) << tag;
    const std::pair<const char*, const char*> numbers[] = {
        {"3", "3"}, {"3/12", "3"}, {" 07 / 12", "07"}, {"", ""}};
    for (auto [tag, number] : numbers)
        EXPECT_EQ(trackNumberOf(tag), number) << tag;
}

TEST(Length, IsMinutesAndSecondsOrHoursFromOneHourOn) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::pair<std::optional<double>, const char*> cases[] = {
        {5.9, "00:05"}, {59.6, "00:59"}, {225, "03:45"}, {3599.99, "59:59"}, {3725.4, "01:02:05"},
        {0, "00:00"},   {-1, ""},        {nan, ""},      {std::nullopt, ""}, {1e300, ""},
    };
    for (auto [seconds, text] : cases)
        EXPECT_EQ(durationText(seconds), text) << seconds.value_or(-99);
}

TEST(EntryName, IsTheListsTitleElseTheFileNameWithoutItsType) {
    const struct {
        std::string filename, title, name, type;
    } cases[] = {
        {"/music/Ария/ангел.mp3", "", "ангел", "mp3"},
        {"/music/a.b.OGG", "", "a.b", "ogg"},
        {"/music/x.mp3", "Первая песня", "Первая песня", "mp3"},
        {"/music/.hidden", "", ".hidden", "hidden"},
        {"/music/noext", "", "noext", ""},
        {"http://radio.example/live/%D0%AF.mp3?x=1.pls#y", "", "Я", "mp3"},
        {"http://radio.example", "", "http://radio.example", ""},
        {"https://radio.example/", "", "https://radio.example/", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(entryName(c.filename, c.title), c.name) << c.filename;
        EXPECT_EQ(fileTypeOf(c.filename), c.type) << c.filename;
    }
    EXPECT_TRUE(isPlaylistFile("/m/list.M3U8"));
    EXPECT_TRUE(isPlaylistFile("http://radio.example/listen.pls?sid=1"));
    EXPECT_FALSE(isPlaylistFile("/m/list.m3u.mp3"));
}

TEST(SameTrack, IsTheSameItemArtistAndTitle) {
    const Track a{.sourceURL = "http://radio", .name = "B", .author = "A"};
    Track b = a;
    b.bitrate = "128000"; // other details may differ
    EXPECT_TRUE(sameTrack(a, b));
    b.name = "C"; // a station's next title
    EXPECT_FALSE(sameTrack(a, b));
}

// Every control character, at both ends of its range, is a blank; the printable ones next to
// them are kept.
TEST(TagText, BlanksEveryControlCharacterAndNothingElse) {
    for (int c = 0; c < 0x100; ++c) {
        const std::string blanked = blankControls(std::string(1, char(c)) + "x");
        const bool control = c < 0x20 || c == 0x7F;
        EXPECT_EQ(blanked, control ? std::string(" x") : std::string(1, char(c)) + "x") << c;
    }
}

} // namespace
