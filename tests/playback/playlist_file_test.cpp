// Playlist files: their bytes, and lists within lists on disk.
#include "playback/playlist_file.h"

#include "support/case_name.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

using playback::ListKind;

namespace {

// Each entry as "url|title".
using Entries = std::vector<std::string>;

Entries shown(const std::vector<playback::ListEntry>& entries) {
    Entries out;
    for (const auto& e : entries)
        out.push_back(e.url + "|" + e.title);
    return out;
}

// A path as this system spells it: "\" between folders on Windows.
std::string native(std::string path) {
#ifdef _WIN32
    std::replace(path.begin(), path.end(), '/', '\\');
#endif
    return path;
}

struct ParseCase {
    const char* what;
    ListKind kind;
    std::string bytes;
    Entries entries;
    std::string folder = native("/music");
};

void PrintTo(const ParseCase& c, std::ostream* out) {
    *out << c.what;
}

#ifdef _WIN32
const std::string kDriveUrl = "C:\\Music\\a.mp3", kShareUrl = "\\\\server\\share\\a.mp3";
const std::string kOnShare = "\\\\server\\share\\list\\sub\\a.mp3";
#else
const std::string kDriveUrl = "/C:/Music/a.mp3", kShareUrl = "file://server/share/a.mp3";
const std::string kOnShare = "\\\\server\\share\\list/sub/a.mp3";
#endif

const ParseCase kParses[] = {
    {"m3u in UTF-8 with either separator and dot segments",
     ListKind::M3u,
     "#EXTM3U\nУтро.mp3\nПапка\\Ночь.mp3\n./a/../b.mp3\n",
     {native("/music/Утро.mp3|"), native("/music/Папка/Ночь.mp3|"), native("/music/b.mp3|")}},
    {"m3u in CP1251 with Cyrillic names and title",
     ListKind::M3u,
     "#EXTINF:123,\xc2\xe5\xf7\xe5\xf0\n\xd3\xf2\xf0\xee.mp3\n\xa8\xeb\xea\xe0 \x97 \xb9"
     "1.mp3\n",
     {native("/music/Утро.mp3|Вечер"), native("/music/Ёлка — №1.mp3|")}},
    {"m3u8 is UTF-8 with invalid bytes replaced and its byte order mark dropped",
     ListKind::M3u8,
     "\xEF\xBB\xBF\xd3\xf2.mp3\n",
     {native("/music/\uFFFD\uFFFD.mp3|")}},
    {"byte order mark makes an m3u UTF-8",
     ListKind::M3u,
     "\xEF\xBB\xBF\xd3.mp3",
     {native("/music/\uFFFD.mp3|")}},
    {"EXTINF title after the first comma names the next entry only",
     ListKind::M3u,
     "#EXTINF:5,Первая, песня\n\n# a comment\na.mp3\nb.mp3\n#EXTINF:-1\nc.mp3\n"
     "#extinf:3, Lower \nd.mp3\n",
     {native("/music/a.mp3|Первая, песня"), native("/music/b.mp3|"), native("/music/c.mp3|"),
      native("/music/d.mp3|Lower")}},
    {"pls in CP1251 in the order of N with titles paired by N, only its own section",
     ListKind::Pls,
     "File9=x.mp3\n[Playlist]\nFile2=b.mp3\nTitle1=\xcf\xe5\xf0\xe2\xe0\xff\nfile1=\xd3\xf2\xf0\xee"
     ".mp3\nTITLE2 = B\nNumberOfEntries=1\nFile10=c.mp3\nTitle7=alone\n[other]\nFile3=z.mp3\n",
     {native("/music/Утро.mp3|Первая"), native("/music/b.mp3|B"), native("/music/c.mp3|")}},
    {"absolute and Windows paths stay absolute",
     ListKind::M3u,
     "/other/a.mp3\nC:\\Music\\a.mp3\n\\\\server\\share\\a.mp3\nC:/Music/a.mp3\n",
     {native("/other/a.mp3|"), "C:\\Music\\a.mp3|", "\\\\server\\share\\a.mp3|",
      native("C:/Music/a.mp3|")}},
    {"a list on a share resolves beside it",
     ListKind::M3u,
     "sub\\a.mp3\n",
     {kOnShare + "|"},
     "\\\\server\\share\\list"},
    {"addresses kept as they are",
     ListKind::M3u,
     "http://radio.example:8000/live?x=1&y=%20\nMMS://x/y\nav://lavfi:sine\n",
     {"http://radio.example:8000/live?x=1&y=%20|", "MMS://x/y|", "av://lavfi:sine|"}},
    {"file addresses of this machine become paths",
     ListKind::M3u,
     "file:///music/%D0%A3%D1%82%D1%80%D0%BE.mp3\nfile://localhost/x.mp3\nfile:///a%FF.mp3\n"
     "file:///a%00b.mp3\nfile:///C:/Music/a.mp3\nfile://server/share/a.mp3\n",
     {native("/music/Утро.mp3|"), native("/x.mp3|"), "file:///a%FF.mp3|", kDriveUrl + "|",
      kShareUrl + "|"}},
    {"CR LF, LF and CR line ends, blanks around, and an entry holding a NUL left out",
     ListKind::M3u,
     std::string("a.mp3\r\nb\0.mp3\rc.mp3\n\r\n \t \n  d.mp3  ", 35),
     {native("/music/a.mp3|"), native("/music/c.mp3|"), native("/music/d.mp3|")}},
    {"control characters in a title become blanks",
     ListKind::Pls,
     std::string("[playlist]\nFile1=a.mp3\nTitle1=A\0B\x1b[31mC\x7f\n", 41),
     {native("/music/a.mp3|A B [31mC")}},
};

class ParseTable : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseTable, GivesTheEntriesInOrder) {
    const ParseCase& c = GetParam();
    EXPECT_EQ(shown(playback::parsePlaylist(c.bytes, c.kind, c.folder)), c.entries);
}

INSTANTIATE_TEST_SUITE_P(Table, ParseTable, testing::ValuesIn(kParses), testsupport::NameByWhat());

TEST(ParseBounds, AListOfMoreEntriesThanTheBoundEndsThere) {
    std::string bytes;
    for (std::size_t i = 0; i <= playback::kMaxListEntries; ++i)
        bytes += std::to_string(i) + "\n";
    const auto entries = playback::parsePlaylist(bytes, ListKind::M3u, "");
    ASSERT_EQ(entries.size(), playback::kMaxListEntries);
    EXPECT_EQ(entries.back().url, std::to_string(playback::kMaxListEntries - 1));
}

// Lists on disk, each written as it is named; a name ending in "/" is a folder.
struct FileCase {
    const char* what;
    std::vector<std::pair<std::string, std::string>> files;
    const char* open;
    Entries entries; // relative to the folder, "/" between folders
};

void PrintTo(const FileCase& c, std::ostream* out) {
    *out << c.what;
}

using Files = std::vector<std::pair<std::string, std::string>>;

// Lists d1.m3u..d<count>.m3u, level k naming k.ogg and then the next level.
Files levels(int count) {
    Files files;
    for (int k = 1; k <= count; ++k)
        files.emplace_back("d" + std::to_string(k) + ".m3u",
                           std::to_string(k) + ".ogg\nd" + std::to_string(k + 1) + ".m3u\n");
    return files;
}

Entries oggs(int from, int to) {
    Entries out;
    for (int k = from; k <= to; ++k)
        out.push_back(std::to_string(k) + ".ogg|");
    return out;
}

std::string repeated(const std::string& line, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += line;
    return out;
}

const FileCase kFiles[] = {
    {"a list including itself is left out where it recurs",
     {{"self.m3u", "a.ogg\nself.m3u\nsub/../self.m3u\nb.ogg\n"}},
     "self.m3u",
     {"a.ogg|", "b.ogg|"}},
    {"a list including another that includes it",
     {{"a.m3u", "1.ogg\nb.m3u\n2.ogg\n"}, {"b.m3u", "3.ogg\na.m3u\n4.ogg\n"}},
     "a.m3u",
     {"1.ogg|", "3.ogg|", "4.ogg|", "2.ogg|"}},
    {"a list named twice side by side is read twice",
     {{"top.m3u", "in.m3u\nin.m3u\n"}, {"in.m3u", "#EXTINF:1,Т\nx.ogg\n"}},
     "top.m3u",
     {"x.ogg|Т", "x.ogg|Т"}},
    {"a nested list resolves its entries beside itself",
     {{"top.m3u8", "Папка\\in.pls\nc.ogg\n"}, {"Папка/in.pls", "[playlist]\nFile1=..\\up.ogg\n"}},
     "top.m3u8",
     {"up.ogg|", "c.ogg|"}},
    {"missing and unreadable lists give nothing",
     {{"top.m3u", "a.ogg\nmissing.m3u\nfolder.pls\nb.ogg\n"}, {"folder.pls/", ""}},
     "top.m3u",
     {"a.ogg|", "b.ogg|"}},
    {"eight levels of lists are read and the ninth is not", levels(9), "d1.m3u", oggs(1, 8)},
    {"a list past its size bound ends at the last whole line",
     {{"big.m3u", "early.ogg\n" + std::string(playback::kMaxListBytes, 'x') + ".ogg\nlate.ogg\n"}},
     "big.m3u",
     {"early.ogg|"}},
    {"one list reads at most so many lists, itself among them",
     {{"top.m3u", repeated("in.m3u\n", playback::kMaxListFiles + 10)}, {"in.m3u", "x.ogg\n"}},
     "top.m3u",
     Entries(playback::kMaxListFiles - 1, "x.ogg|")},
    {"a missing list gives nothing", {}, "missing.m3u", {}},
};

class FileTable : public testing::TestWithParam<FileCase> {};

TEST_P(FileTable, ReadsNestedListsInTheirPlace) {
    const FileCase& c = GetParam();
    testsupport::TempDir dir;
    for (const auto& [name, bytes] : c.files) {
        std::filesystem::create_directories(text::pathOf(dir.file(name)).parent_path());
        ASSERT_TRUE(name.ends_with('/') || testsupport::put(text::pathOf(dir.file(name)), bytes));
    }
    Entries relative;
    const std::string prefix = text::utf8Of(dir.path() / "");
    for (std::string entry : shown(playback::readPlaylist(dir.file(c.open)))) {
        ASSERT_TRUE(entry.starts_with(prefix)) << entry;
        std::replace(entry.begin(), entry.end(), '\\', '/');
        relative.push_back(entry.substr(prefix.size()));
    }
    EXPECT_EQ(relative, c.entries);
}

INSTANTIATE_TEST_SUITE_P(Table, FileTable, testing::ValuesIn(kFiles), testsupport::NameByWhat());

// The head is cut after "in.m3u", and again inside the second entry's #EXTINF.
TEST(ListHead, HoldsWholeLinesAndLeavesNestedListsUnread) {
    testsupport::TempDir dir;
    const std::string text = "a.ogg\r\n#EXTINF:1,Т\r\nb.ogg\r\nin.m3u\r\nc.ogg\r\n";
    ASSERT_TRUE(testsupport::put(text::pathOf(dir.file("top.m3u")), text));
    ASSERT_TRUE(testsupport::put(text::pathOf(dir.file("in.m3u")), "x.ogg\n"));
    const std::string prefix = text::utf8Of(dir.path() / "");
    const auto tail = [&](std::size_t bytes) {
        Entries out;
        for (const std::string& entry :
             shown(playback::readPlaylistHead(dir.file("top.m3u"), bytes)))
            out.push_back(entry.substr(prefix.size()));
        return out;
    };
    EXPECT_EQ(tail(text.find("c.ogg") + 2), (Entries{"a.ogg|", "b.ogg|Т", "in.m3u|"}));
    EXPECT_EQ(tail(text.find("b.ogg") - 3), (Entries{"a.ogg|"}));
}

} // namespace
