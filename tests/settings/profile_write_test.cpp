#include "settings/profile_file.h"
#include "settings/replace_file.h"

#include "support/case_name.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
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

// The one file replace behind both the settings file and the song file.
struct ReplaceCase {
    const char* behaviour;
    settings::ReadOnlyFile readOnly;
    enum Setup {
        Missing,      // no file yet
        NoWriteBits,  // 0444, ours
        OthersFile,   // 0644, root's, written by nobody
        ClosedFolder, // nobody's 0644 file in root's 0755 folder, written by nobody
        Link,         // a symbolic link to our 0640 file
        NoFolder,     // the folder is missing
    } setup;
    bool ok;
    bool newBytes;     // the file ends with the new bytes, else as it was
    unsigned mode = 0; // its permissions afterwards, when it matters
};

constexpr auto kKeep = settings::ReadOnlyFile::Keep;
constexpr auto kRewrite = settings::ReadOnlyFile::Rewrite;

const ReplaceCase kReplaceCases[] = {
    {"missing file is created", kKeep, ReplaceCase::Missing, true, true},
    {"no write bits keep even root out", kKeep, ReplaceCase::NoWriteBits, false, false, 0444},
    {"no write bits still rewritten when ours", kRewrite, ReplaceCase::NoWriteBits, true, true,
     0644},
    {"another user's file kept", kKeep, ReplaceCase::OthersFile, false, false, 0644},
    {"closed folder overwritten in place", kKeep, ReplaceCase::ClosedFolder, true, true, 0644},
    {"closed folder overwritten in place when ours", kRewrite, ReplaceCase::ClosedFolder, true,
     true, 0644},
    {"written through a link", kKeep, ReplaceCase::Link, true, true, 0640},
    {"written through a link when ours", kRewrite, ReplaceCase::Link, true, true, 0640},
    {"missing folder not made", kKeep, ReplaceCase::NoFolder, false, false},
    {"missing folder not made when ours", kRewrite, ReplaceCase::NoFolder, false, false},
};

class Replace : public ProfileFile, public testing::WithParamInterface<ReplaceCase> {};

TEST_P(Replace, LeavesOldOrNewBytesOnly) {
    const ReplaceCase& c = GetParam();
    const bool root = ::geteuid() == 0;
    const bool asNobody =
        c.setup == ReplaceCase::OthersFile || c.setup == ReplaceCase::ClosedFolder;
    if (asNobody && !root) {
        GTEST_SKIP() << "needs root to set up another user's file";
    }
    const std::string kNew = "new\r\n";
    fs::path file = ini;
    fs::path real = ini;
    switch (c.setup) {
    case ReplaceCase::Missing:
        break;
    case ReplaceCase::NoWriteBits:
        put(ini, kForeign);
        fs::permissions(ini, fs::perms(0444));
        break;
    case ReplaceCase::OthersFile:
        fs::permissions(dir, fs::perms::all);
        put(ini, kForeign);
        fs::permissions(ini, fs::perms(0644));
        break;
    case ReplaceCase::ClosedFolder:
        fs::permissions(dir, fs::perms(0755));
        put(ini, kForeign);
        fs::permissions(ini, fs::perms(0644));
        ASSERT_EQ(::chown(ini.c_str(), 65534, 65534), 0);
        break;
    case ReplaceCase::Link:
        real = dir / "real.ini";
        put(real, kForeign);
        fs::permissions(real, fs::perms(0640));
        fs::create_symlink("real.ini", ini);
        break;
    case ReplaceCase::NoFolder:
        file = real = dir / "none" / "mirc.ini";
        break;
    }
    const auto replace = [&] { return settings::replaceFile(file, kNew, c.readOnly); };
    EXPECT_EQ(asNobody ? writeUnprivileged(replace) : replace(), c.ok);

    const bool existed = c.setup != ReplaceCase::Missing && c.setup != ReplaceCase::NoFolder;
    EXPECT_EQ(bytesOf(real), c.newBytes ? kNew : existed ? kForeign : "");
    EXPECT_EQ(fs::exists(real), c.newBytes || existed);
    EXPECT_EQ(fs::is_symlink(file), c.setup == ReplaceCase::Link);
    if (c.mode != 0) {
        EXPECT_EQ(unsigned(fs::status(real).permissions()), c.mode);
    }
    const auto entries = std::distance(fs::directory_iterator(dir), fs::directory_iterator());
    EXPECT_EQ(entries, c.setup == ReplaceCase::Link ? 2
                       : existed || c.ok            ? 1
                                                    : 0)
        << "no temporary file is left behind";
}

INSTANTIATE_TEST_SUITE_P(Table, Replace, testing::ValuesIn(kReplaceCases),
                         testsupport::NameByWhat());

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

TEST_F(ProfileFile, AConcurrentReaderSeesOnlyWholeVersions) {
    const std::string first = "Первый исполнитель\r\nПервая песня\r\n03:45\r\n128000\r\n";
    const std::string second = "B\r\nShort\r\n00:01\r\n\r\n";
    put(ini, first);
    std::atomic<bool> writing{true};
    std::atomic<int> reads{0};
    std::string seenWrong;
    std::thread reader([&] {
        while (writing.load()) {
            const std::string seen = bytesOf(ini);
            if (seen != first && seen != second) {
                seenWrong = seen.empty() ? "<empty>" : seen;
                return;
            }
            ++reads;
        }
    });
    bool allWritten = true;
    for (int i = 0; i < 400 && allWritten; ++i) {
        allWritten = settings::replaceFile(ini, i % 2 ? first : second, kRewrite);
    }
    writing = false;
    reader.join();
    EXPECT_TRUE(allWritten);
    EXPECT_EQ(seenWrong, "");
    EXPECT_GT(reads.load(), 0);
}

} // namespace
