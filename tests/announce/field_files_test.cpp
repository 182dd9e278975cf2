// The field files and the cover as a reader of NowPlaying finds them.
#include "announce/announcer.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;
const std::string kJpeg = "\xFF\xD8\xFF\xE0", kPng = "\x89PNG\r\n\x1A\n";

Files filesIn(const fs::path& folder) {
    Files files;
    for (const auto& entry : fs::directory_iterator(folder))
        files[text::utf8Of(entry.path().filename())] = testsupport::bytesOf(entry.path());
    return files;
}

TEST(FieldFiles, ThePictureBesideIsTheFirstNameInOrderInAnyCase) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"01.mp3", "Folder.JPG"}, "Folder.JPG"},
        {{"folder.jpg", "COVER.jpeg"}, "COVER.jpeg"},
        {{"cover.jpg", "Cover.png"}, "Cover.png"},
        {{"AlbumArt_{1}_Large.jpg", "AlbumArtSmall.jpg"}, "AlbumArtSmall.jpg"},
        {{"cover.gif", "back.jpg", "cover.jpg.txt", "my cover.jpg"}, ""},
    };
    for (const auto& [names, expected] : cases)
        EXPECT_EQ(announce::coverBeside(names), expected) << testing::PrintToString(names);
}

// Each start brings its details, each one line of UTF-8 without a BOM, and its cover, named by
// what the picture is; the keys decide whether anything is written, and whether it is emptied
// when nothing plays.
TEST(FieldFiles, FollowEachStartAndEmptyWhenNothingPlays) {
    struct Step {
        const char* what;
        Files beside, cover;       // the track's folder; NowPlaying besides the field files
        std::string embedded = {}; // the picture the engine takes from the track
        bool address = false;      // a station's, not a file's
        std::string song = {};     // the track file's bytes
        const char* blocked = {};  // a folder in NowPlaying where the cover would go
    };
    // An ID3v2.3 tag holding one front cover.
    const auto tagged = [](const std::string& picture) {
        const std::string frame = std::string("\0image/png\0\3\0", 13) + picture;
        const std::string body = "APIC" + std::string{0, 0, 0, char(frame.size()), 0, 0} + frame;
        return "ID3" + std::string{3, 0, 0, 0, 0, 0, char(body.size())} + body;
    };
    const Step steps[] = {
        {"JPEG", {{"cover.jpg", kJpeg}}, {{"cover.jpg", kJpeg}}},
        {"PNG in its place", {{"Folder.png", kPng}}, {{"cover.png", kPng}}},
        {"JPEG named .png", {{"front.png", kJpeg}}, {{"cover.jpg", kJpeg}}},
        {"address", {{"cover.jpg", kJpeg}}, {}, {}, true},
        {"embedded first", {{"cover.jpg", kJpeg}}, {{"cover.png", kPng}}, kPng},
        {"in its tags", {{"cover.jpg", kJpeg}}, {{"cover.png", kPng}}, {}, false, tagged(kPng)},
        {"no known type", {{"cover.png", "GIF89a"}}, {}},
        {"embedded, no PNG", {{"cover.jpg", kJpeg}}, {{"cover.jpg", kJpeg}}, kJpeg},
        {"cover unwritable", {{"cover.png", kPng}}, {}, {}, false, {}, "cover.png"},
    };
    testsupport::TempDir dir;
    settings::PlayOptions options{.format = "np !название", .fieldFiles = true};
    announce::Announcer announcer(options, [](const std::string& v) { return "<" + v + ">"; });
    announcer.setFiles(text::utf8Of(dir.path() / "SongName.txt"), {});
    std::string embedded;
    announcer.setEmbeddedCover([&](const std::string& png, std::function<void(bool)> done) {
        done(!embedded.empty() && testsupport::put(text::pathOf(png), embedded));
    });
    const auto played = [&](const std::string& source, const std::string& title) {
        announcer.started(
            {.sourceURL = source, .name = title, .author = "\xEF\xBB\xBFАр\nия", .album = "x\xFFy"},
            false, {});
        announcer.nothingPlays();
    };
    Files expected;
    for (const Step& step : steps) {
        const fs::path folder = dir.path() / step.what;
        fs::create_directory(folder);
        for (const auto& [name, bytes] : step.beside)
            testsupport::put(folder / name, bytes);
        testsupport::put(folder / "t.mp3", step.song);
        if (step.blocked)
            fs::create_directory(dir.path() / "NowPlaying" / step.blocked);
        embedded = step.embedded;
        played(step.address ? "http://r/s" : text::utf8Of(folder / "t.mp3"), step.what);
        expected = {{"artist.txt", "Ар ия"},
                    {"title.txt", step.what},
                    {"album.txt", "x\xEF\xBF\xBDy"},
                    {"duration.txt", ""},
                    {"line.txt", "np " + std::string(step.what)}};
        expected.insert(step.cover.begin(), step.cover.end());
        EXPECT_EQ(filesIn(dir.path() / "NowPlaying"), expected) << step.what;
    }
    options.clearOnStop = true;
    announcer.nothingPlays();
    options.fieldFiles = false;
    played("http://r/s", "not written");
    expected.erase("cover.jpg");
    for (auto& [name, bytes] : expected)
        bytes.clear();
    EXPECT_EQ(filesIn(dir.path() / "NowPlaying"), expected);
}

// The engine answers when it has taken the picture: by then another track, or nothing, may play.
TEST(FieldFiles, ACoverThatComesLateIsDropped) {
    testsupport::TempDir dir;
    testsupport::put(dir.path() / "cover.jpg", kJpeg);
    const std::string song = text::utf8Of(dir.path() / "t.mp3");
    testsupport::put(text::pathOf(song), "");
    announce::FieldFiles files;
    files.setFolder(text::utf8Of(dir.path() / "NowPlaying"));
    std::vector<std::pair<std::string, std::function<void(bool)>>> asked;
    files.setEmbeddedCover([&](const std::string& png, std::function<void(bool)> done) {
        asked.emplace_back(png, std::move(done));
    });
    const auto answer = [&](std::size_t i, bool taken) {
        if (taken)
            testsupport::put(text::pathOf(asked.at(i).first), kPng);
        asked.at(i).second(taken);
    };
    const auto covers = [&] {
        Files found = filesIn(dir.path() / "NowPlaying");
        return std::pair(int(found.count("cover.png")), int(found.count("cover.jpg")));
    };
    files.show({.sourceURL = song, .name = "a"}, "");
    files.show({.sourceURL = song, .name = "b"}, "");
    answer(0, true);
    EXPECT_EQ(covers(), std::pair(0, 0)) << "a's picture, after b started";
    answer(1, false);
    EXPECT_EQ(covers(), std::pair(0, 1)) << "b has none of its own: the one beside it";
    files.show({.sourceURL = song, .name = "c"}, "");
    files.clear();
    answer(2, true);
    EXPECT_EQ(covers(), std::pair(0, 0)) << "c's picture, after nothing plays";
}

// The cover a start takes for the field files is the one the overlay page shows: the engine is
// asked once, and its answer, however late, reaches both.
TEST(FieldFiles, AStartsCoverIsTakenOnceForAllThatShowIt) {
    testsupport::TempDir dir;
    const std::string song = text::utf8Of(dir.path() / "t.mp3");
    testsupport::put(text::pathOf(song), "");
    settings::PlayOptions options{.fieldFiles = true};
    announce::Announcer announcer(options, [](const std::string& v) { return v; });
    announcer.setFiles(text::utf8Of(dir.path() / "SongName.txt"), {});
    std::vector<std::pair<std::string, std::function<void(bool)>>> asked;
    announcer.setEmbeddedCover([&](const std::string& png, std::function<void(bool)> done) {
        asked.emplace_back(png, std::move(done));
    });
    const playback::Track track{.sourceURL = song, .name = "t"};
    announcer.started(track, false, {});
    std::string shown;
    announcer.cover().share(track, text::utf8Of(dir.path() / "page.png"),
                            [&](const std::string& bytes) { shown = bytes; });
    ASSERT_EQ(asked.size(), 1u);
    testsupport::put(text::pathOf(asked[0].first), kPng);
    asked[0].second(true);
    EXPECT_EQ(shown, kPng);
    EXPECT_EQ(testsupport::bytesOf(dir.path() / "NowPlaying" / "cover.png"), kPng);
}

} // namespace
