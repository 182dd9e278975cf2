#include "settings/profile_file.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

INSTANTIATE_TEST_SUITE_P(Table, ProfileWrite, testing::ValuesIn(kWriteCases));

std::string bytesOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void put(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

// Runs `write` as an unprivileged user when we are root, whom permissions would not stop.
bool writeUnprivileged(const std::function<bool()>& write) {
    if (::geteuid() != 0) {
        return write();
    }
    const pid_t child = ::fork();
    if (child == 0) {
        const bool dropped = ::setgid(65534) == 0 && ::setuid(65534) == 0;
        ::_exit(dropped && write() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class ProfileFile : public testing::Test {
protected:
    QTemporaryDir temp;
    fs::path dir{temp.path().toStdString()};
    fs::path ini = dir / "mirc.ini";
    const std::string kForeign = "[mirc]\r\nnick = Вася\r\n";
    const std::string kWritten = kForeign + "[Tunelark]\r\nRepeat=True\r\n";

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

TEST_F(ProfileFile, ReadOnlyFileIsNotReplaced) {
    put(ini, kForeign);
    fs::permissions(dir, fs::perms::all); // the rename itself would be allowed
    fs::permissions(ini, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_FALSE(writeUnprivileged([this] { return write(); }));
    EXPECT_EQ(bytesOf(ini), kForeign);
}

TEST_F(ProfileFile, Utf16FileIsLeftAlone) {
    const std::string utf16 = "\xFF\xFE[\0m\0]\0\r\0\n\0"s;
    put(ini, utf16);
    EXPECT_FALSE(write());
    EXPECT_EQ(bytesOf(ini), utf16);
}

TEST_F(ProfileFile, PermissionsAndOwnerKept) {
    put(ini, kForeign);
    fs::permissions(ini, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(ini.c_str(), 65534, 65534), 0);
    }
    ASSERT_TRUE(write());
    struct stat st {};
    ASSERT_EQ(::stat(ini.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    if (root) {
        EXPECT_EQ(st.st_uid, 65534u);
    }
    EXPECT_EQ(bytesOf(ini), kWritten);
}

TEST_F(ProfileFile, WritesThroughSymbolicLinkAndLeavesNoTemporaryFiles) {
    put(dir / "real.ini", kForeign);
    fs::create_symlink("real.ini", ini);
    ASSERT_TRUE(write());
    EXPECT_TRUE(fs::is_symlink(ini));
    EXPECT_EQ(bytesOf(dir / "real.ini"), kWritten);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
}

} // namespace
