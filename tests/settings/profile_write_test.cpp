#include "settings/profile_file.h"
#include "settings/replace_file.h"

#include "support/case_name.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

struct WriteCase {
    const char* behaviour;
    std::string before;
    std::string section;
    std::string key;
    std::string value;
    std::string after;
};

const WriteCase kWriteCases[] = {
    {"existing line rewritten alone, key spelled as in file",
     "[mirc]\r\nnick = x\r\n\r\n[Tunelark]\r\n  repeat = False ;c\r\n; end\r\n", "Tunelark",
     "Repeat", "True", "[mirc]\r\nnick = x\r\n\r\n[Tunelark]\r\nrepeat=True\r\n; end\r\n"},
    {"LF line becomes CRLF, others keep LF", "[T]\nk=1\nz=2\n", "T", "k", "2", "[T]\nk=2\r\nz=2\n"},
    {"last line without line end gets CRLF", "[T]\r\nk=1", "T", "k", "2", "[T]\r\nk=2\r\n"},
    {"spaced upper-case header edited", "[ TUNELARK ]\r\nFORMAT=a\r\n", "Tunelark", "Format", "b",
     "[ TUNELARK ]\r\nFORMAT=b\r\n"},
    {"only the first duplicate key changes", "[T]\r\nk=1\r\nk=2\r\n", "T", "k", "9",
     "[T]\r\nk=9\r\nk=2\r\n"},
    {"empty value written", "[T]\r\nk=1\r\n", "T", "k", "", "[T]\r\nk=\r\n"},
    {"new key before trailing comment and blank lines", "[T]\r\na=1\r\n; end\r\n\r\n[mirc]\r\n",
     "T", "k", "v", "[T]\r\na=1\r\nk=v\r\n; end\r\n\r\n[mirc]\r\n"},
    {"new key right after header of empty section", "[T]\r\n\r\n;c\r\n[x]\r\n", "T", "k", "v",
     "[T]\r\nk=v\r\n\r\n;c\r\n[x]\r\n"},
    {"commented-out key is no key", "[T]\r\n;k=1\r\n", "T", "k", "2", "[T]\r\nk=2\r\n;k=1\r\n"},
    {"new key after header at end of file", "[T]", "T", "k", "v", "[T]\r\nk=v\r\n"},
    {"new key after last line without line end", "[T]\nk=1", "T", "n", "v", "[T]\nk=1\r\nn=v\r\n"},
    {"new key into first duplicate section", "[T]\r\na=1\r\n[x]\r\n[T]\r\nb=2\r\n", "T", "k", "v",
     "[T]\r\na=1\r\nk=v\r\n[x]\r\n[T]\r\nb=2\r\n"},
    {"same key of another section untouched", "[mirc]\r\nk=1\r\n", "Tunelark", "k", "2",
     "[mirc]\r\nk=1\r\n[Tunelark]\r\nk=2\r\n"},
    {"new section after file without line end", "[mirc]\r\nn=x", "Tunelark", "k", "v",
     "[mirc]\r\nn=x\r\n[Tunelark]\r\nk=v\r\n"},
    {"new section into empty text", "", " Tunelark ", " k ", "v", "[Tunelark]\r\nk=v\r\n"},
    {"byte order mark kept", "\xEF\xBB\xBF[T]\r\nk=1\r\n", "T", "k", "2",
     "\xEF\xBB\xBF[T]\r\nk=2\r\n"},
    {"stray bytes kept", "\x01\x80junk\r\r\n[T]\r\nk=1\r\n\x1A"s, "T", "k", "2",
     "\x01\x80junk\r\r\n[T]\r\nk=2\r\n\x1A"s},
};

class ProfileWrite : public testing::TestWithParam<WriteCase> {};

TEST_P(ProfileWrite, ChangesOnlyTheWrittenLine) {
    const WriteCase& c = GetParam();
    const std::string after = profile::writeString(c.before, c.section, c.key, c.value);
    EXPECT_EQ(after, c.after);
    EXPECT_EQ(profile::readString(after, c.section, c.key, "default"), c.value);
}

INSTANTIATE_TEST_SUITE_P(Table, ProfileWrite, testing::ValuesIn(kWriteCases),
                         testsupport::NameByWhat());

TEST(ProfileWrite, LineBreaksInAValueBecomeBlanks) {
    EXPECT_EQ(profile::writeString("[T]\r\n", "T", "k", "a\r\nb\nc"), "[T]\r\nk=a  b c\r\n");
}

struct NameCase {
    const char* what;
    std::string section;
    std::string key;
};

const NameCase kUnwritableNames[] = {
    {"section with a closing bracket", "a]b", "k"},
    {"section with a line break", "a\nb", "k"},
    {"section ending in a tab", "T\t", "k"},
    {"key with an equals sign", "T", "k=x"},
    {"key that would read as a header", "T", "[x]"},
    {"key that would read as a comment", "T", ";k"},
    {"key with a line break", "T", "k\r\n[x]"},
    {"key starting with a tab", "T", "\tk"},
};

class UnwritableName : public testing::TestWithParam<NameCase> {};

// Such a name would read back as another, and every write would add one more line.
TEST_P(UnwritableName, LeavesTheTextAsItWas) {
    const std::string text = "[T]\r\nk=1\r\n";
    EXPECT_FALSE(profile::isWritable(text, GetParam().section, GetParam().key));
    EXPECT_EQ(profile::writeString(text, GetParam().section, GetParam().key, "v"), text);
}

INSTANTIATE_TEST_SUITE_P(Table, UnwritableName, testing::ValuesIn(kUnwritableNames),
                         testsupport::NameByWhat());

using testsupport::bytesOf;
using testsupport::put;

class ProfileFile : public testing::Test {
protected:
    testsupport::TempDir temp;
    fs::path dir = temp.path();
    fs::path ini = dir / "mirc.ini";
    const std::string kForeign = "[mirc]\r\nnick = x\r\n";

    bool write() { return profile::writeFileString(ini, "Tunelark", "Repeat", "True"); }
};

TEST_F(ProfileFile, MissingFileIsCreated) {
    EXPECT_TRUE(write());
    EXPECT_EQ(bytesOf(ini), "[Tunelark]\r\nRepeat=True\r\n");
}

TEST_F(ProfileFile, UnwritablePlacesChangeNothing) {
    put(dir / "plain", kForeign);
    fs::create_directory(ini);
    EXPECT_FALSE(profile::writeFileString(dir / "none" / "mirc.ini", "T", "k", "v"));
    EXPECT_FALSE(profile::writeFileString(dir / "plain" / "mirc.ini", "T", "k", "v"));
    EXPECT_FALSE(write()); // the path is a folder
    EXPECT_FALSE(fs::exists(dir / "none"));
    EXPECT_EQ(bytesOf(dir / "plain"), kForeign);
    EXPECT_TRUE(fs::is_empty(ini));
    EXPECT_EQ(profile::readFileString(ini, "T", "k", "d"), "d");
}

// A folder where the song file belongs (or the settings file) stays as it is, whatever it holds.
TEST_F(ProfileFile, AFolderInTheFilesPlaceIsLeftAsItIs) {
    const fs::path song = dir / "SongName.txt";
    fs::create_directory(song);
    put(song / "inside.txt", kForeign);
    for (const auto readOnly : {settings::ReadOnlyFile::Rewrite, settings::ReadOnlyFile::Keep}) {
        EXPECT_FALSE(settings::replaceFile(song, "new\r\n", readOnly));
        EXPECT_TRUE(fs::is_directory(song));
        EXPECT_EQ(bytesOf(song / "inside.txt"), kForeign);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1)
        << "no temporary file is left behind";
}

} // namespace
