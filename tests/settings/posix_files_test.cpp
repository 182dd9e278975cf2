// What only POSIX files can do to the settings file and the song file: permissions, owners,
// links, pipes and devices, and a reader while the file is replaced.
#include "settings/ini.h"
#include "settings/places.h"
#include "settings/profile_file.h"
#include "settings/replace_file.h"

#include "support/case_name.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using testsupport::bytesOf;
using testsupport::put;

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
    testsupport::TempDir temp;
    fs::path dir = temp.path();
    fs::path ini = dir / "mirc.ini";
    const std::string kForeign = "[mirc]\r\nnick = Вася\r\n";
    const std::string kWritten = kForeign + "[Tunelark]\r\nRepeat=True\r\n";

    bool write() { return profile::writeFileString(ini, "Tunelark", "Repeat", "True"); }
};

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
        LinkReadOnly, // a symbolic link to our 0444 file
        LinkToOthers, // a symbolic link to nobody's 0644 file
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
    {"a linked file's read-only mark holds even when ours", kRewrite, ReplaceCase::LinkReadOnly,
     false, false, 0444},
    {"a link to another user's file is not followed", kRewrite, ReplaceCase::LinkToOthers, false,
     false, 0644},
    {"a link to another user's settings file is not followed", kKeep, ReplaceCase::LinkToOthers,
     false, false, 0644},
    {"missing folder not made", kKeep, ReplaceCase::NoFolder, false, false},
    {"missing folder not made when ours", kRewrite, ReplaceCase::NoFolder, false, false},
};

class Replace : public ProfileFile, public testing::WithParamInterface<ReplaceCase> {};

TEST_P(Replace, LeavesOldOrNewBytesOnly) {
    const ReplaceCase& c = GetParam();
    const bool root = ::geteuid() == 0;
    const bool asNobody =
        c.setup == ReplaceCase::OthersFile || c.setup == ReplaceCase::ClosedFolder;
    if ((asNobody || c.setup == ReplaceCase::LinkToOthers) && !root) {
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
    case ReplaceCase::LinkReadOnly:
    case ReplaceCase::LinkToOthers:
        real = dir / "real.ini";
        put(real, kForeign);
        fs::permissions(real, fs::perms(c.setup == ReplaceCase::LinkReadOnly   ? 0444
                                        : c.setup == ReplaceCase::LinkToOthers ? 0644
                                                                               : 0640));
        if (c.setup == ReplaceCase::LinkToOthers) {
            ASSERT_EQ(::chown(real.c_str(), 65534, 65534), 0);
        }
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
    const bool linked = c.setup == ReplaceCase::Link || c.setup == ReplaceCase::LinkReadOnly ||
                        c.setup == ReplaceCase::LinkToOthers;
    EXPECT_EQ(fs::is_symlink(file), linked);
    if (c.mode != 0) {
        EXPECT_EQ(unsigned(fs::status(real).permissions()), c.mode);
    }
    const auto entries = std::distance(fs::directory_iterator(dir), fs::directory_iterator());
    EXPECT_EQ(entries, linked ? 2 : existed || c.ok ? 1 : 0) << "no temporary file is left behind";
}

INSTANTIATE_TEST_SUITE_P(Table, Replace, testing::ValuesIn(kReplaceCases),
                         testsupport::NameByWhat());

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

// A settings file that is a link to a pipe nobody writes or to an endless device: reading gives
// the defaults at once, and the link stays as it was.
class LinkedSettingsFile : public ProfileFile, public testing::WithParamInterface<const char*> {};

TEST_P(LinkedSettingsFile, ReadsAsDefaultsAtOnceAndStaysALink) {
    fs::path target = GetParam();
    if (target.is_relative()) {
        target = dir / target;
        ASSERT_EQ(::mkfifo(target.c_str(), 0600), 0);
    }
    fs::create_symlink(target, ini);
    // On a thread of its own, so a read that waits on the pipe fails here instead of hanging.
    auto read = std::make_shared<std::promise<std::string>>();
    auto readDone = read->get_future();
    std::thread([read, file = ini.string()] {
        std::string value = "True";
        mOpenSave::WriteINI(file, "Tunelark", "Repeat", value);
        read->set_value(mOpenSave::ReadINI(file, "Tunelark", "Random", "False"));
    }).detach();
    ASSERT_EQ(readDone.wait_for(std::chrono::seconds(5)), std::future_status::ready)
        << "the settings file was waited on";
    EXPECT_EQ(readDone.get(), "False");
    EXPECT_EQ(fs::read_symlink(ini), target) << "the link was replaced";
}

// A settings file that is a link: why the options cannot be kept through it, if they cannot.
TEST_F(ProfileFile, ALinkedSettingsFileSaysWhyItsOptionsCannotBeKeptThere) {
    fs::create_directory(dir / "folder");
    put(dir / "nobodys.ini", kForeign);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown((dir / "nobodys.ini").c_str(), 65534, 65534), 0);
    }
    const struct {
        fs::path target;
        std::optional<std::string> why;
        bool readable;
    } cases[] = {
        {"/dev/null", "это не обычный файл", false},
        {dir / "folder", "это папка, а не файл", false},
        {"gone/mirc.ini", "это ссылка на gone/mirc.ini, а такого файла нет", false},
        {"folder/mirc.ini", std::nullopt, false}, // made there at the first write
        {dir / "nobodys.ini",
         root ? std::optional<std::string>("это ссылка на файл другого пользователя")
              : std::nullopt,
         true},
    };
    for (const auto& c : cases) {
        fs::remove(ini);
        fs::create_symlink(c.target, ini);
        const settings::SettingsFile file = settings::checkSettingsFile(ini.string());
        EXPECT_TRUE(file.present) << c.target;
        EXPECT_EQ(file.whyNotKept, c.why) << c.target;
        EXPECT_EQ(file.readable, c.readable) << c.target;
    }
}

INSTANTIATE_TEST_SUITE_P(PipeOrDevice, LinkedSettingsFile, testing::Values("pipe", "/dev/zero"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return std::string(info.index == 0 ? "a_pipe_nobody_writes"
                                                                : "an_endless_device");
                         });

} // namespace
