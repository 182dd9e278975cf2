// The file replace on Windows, built with MinGW and run under Wine: read-only files, readers
// holding the file open, a missing folder. Every case checks the bytes left at the path.
#include "settings/replace_file.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>

namespace fs = std::filesystem;
using settings::ReadOnlyFile;

namespace {

const std::string kOld = "[mirc]\r\nnick=\xC2\xE0\xF1\xFF\r\n";
const std::string kNew = "\xCA\xE8\xED\xEE\r\n\xC7\xE2\xE5\xE7\xE4\xE0\r\n04:00\r\n\r\n";

enum class Setup {
    Missing,  // no file yet
    ReadOnly, // the read-only attribute
    Hidden,   // the hidden attribute
    // A reader holds it open, sharing read, write and delete. Windows renames over it; Wine
    // renames over no open file at all (server/fd.c: "can't replace an opened file"), so here it
    // takes the in-place write.
    SharesDelete,
    SharesWrite,   // a reader holds it open, sharing read and write but not delete
    SharesRead,    // a reader holds it open, sharing read only
    MissingFolder, // the folder is missing
};

struct ReplaceCase {
    const char* behaviour;
    ReadOnlyFile readOnly;
    Setup setup;
    bool ok;
    bool newBytes;        // the path holds the new bytes, else the old ones (or nothing)
    DWORD attributes = 0; // attributes left on the file, when it matters
};

constexpr auto kKeep = ReadOnlyFile::Keep;
constexpr auto kRewrite = ReadOnlyFile::Rewrite;

const ReplaceCase kCases[] = {
    {"missing file created", kKeep, Setup::Missing, true, true},
    {"read-only settings file kept", kKeep, Setup::ReadOnly, false, false, FILE_ATTRIBUTE_READONLY},
    {"read-only song file rewritten", kRewrite, Setup::ReadOnly, true, true, FILE_ATTRIBUTE_NORMAL},
    {"hidden settings file stays hidden", kKeep, Setup::Hidden, true, true, FILE_ATTRIBUTE_HIDDEN},
    {"hidden song file shown", kRewrite, Setup::Hidden, true, true, FILE_ATTRIBUTE_NORMAL},
    {"reader sharing deletion", kKeep, Setup::SharesDelete, true, true},
    {"reader sharing deletion, song file", kRewrite, Setup::SharesDelete, true, true},
    {"reader not sharing deletion: overwritten in place", kKeep, Setup::SharesWrite, true, true},
    {"reader not sharing deletion: song file overwritten in place", kRewrite, Setup::SharesWrite,
     true, true},
    {"reader sharing nothing but reading: old bytes kept", kKeep, Setup::SharesRead, false, false},
    {"reader sharing nothing but reading: old song file kept", kRewrite, Setup::SharesRead, false,
     false},
    {"missing folder not made", kKeep, Setup::MissingFolder, false, false},
    {"missing folder not made for the song file", kRewrite, Setup::MissingFolder, false, false},
};

std::string bytesOf(const fs::path& file) {
    // Shares everything, so it reads past any reader the case holds.
    const HANDLE handle = CreateFileW(file.wstring().c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return "<missing>";
    }
    std::string bytes(4096, '\0');
    DWORD read = 0;
    ReadFile(handle, bytes.data(), DWORD(bytes.size()), &read, nullptr);
    CloseHandle(handle);
    bytes.resize(read);
    return bytes;
}

class ReplaceOnWindows : public testing::TestWithParam<ReplaceCase> {
protected:
    void SetUp() override {
        folder = fs::current_path() / ("case-" + std::to_string(counter++));
        fs::create_directory(folder);
    }
    void TearDown() override {
        if (reader != INVALID_HANDLE_VALUE) {
            CloseHandle(reader);
        }
        SetFileAttributesW(file().wstring().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    fs::path file() const {
        return GetParam().setup == Setup::MissingFolder ? folder / "none" / "mirc.ini"
                                                        : folder / "mirc.ini";
    }

    static inline int counter = 0;
    fs::path folder;
    HANDLE reader = INVALID_HANDLE_VALUE;
};

TEST_P(ReplaceOnWindows, LeavesOldOrNewBytesOnly) {
    const ReplaceCase& c = GetParam();
    const std::wstring path = file().wstring();
    const bool existed = c.setup != Setup::Missing && c.setup != Setup::MissingFolder;
    if (existed) {
        std::ofstream(file(), std::ios::binary) << kOld;
    }
    switch (c.setup) {
    case Setup::ReadOnly:
        ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
        break;
    case Setup::Hidden:
        ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN));
        break;
    case Setup::SharesDelete:
    case Setup::SharesWrite:
    case Setup::SharesRead: {
        DWORD share = FILE_SHARE_READ;
        share |= c.setup != Setup::SharesRead ? FILE_SHARE_WRITE : 0;
        share |= c.setup == Setup::SharesDelete ? FILE_SHARE_DELETE : 0;
        reader = CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(reader, INVALID_HANDLE_VALUE);
        break;
    }
    default:
        break;
    }

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(settings::replaceFile(file(), kNew, c.readOnly), c.ok);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
    std::printf("  replaced in %lld ms\n", static_cast<long long>(ms));
    EXPECT_LT(ms, 2000) << "the wait for a reader is short and bounded";

    EXPECT_EQ(bytesOf(file()), c.newBytes ? kNew : existed ? kOld : "<missing>");
    if (c.attributes != 0) {
        const DWORD left = GetFileAttributesW(path.c_str()) & ~FILE_ATTRIBUTE_ARCHIVE;
        EXPECT_EQ(left == 0 ? FILE_ATTRIBUTE_NORMAL : left, c.attributes);
    }
    if (reader != INVALID_HANDLE_VALUE) {
        CloseHandle(std::exchange(reader, INVALID_HANDLE_VALUE));
    }
    const auto entries = std::distance(fs::directory_iterator(folder), fs::directory_iterator());
    EXPECT_EQ(entries, existed || c.ok ? 1 : 0) << "no temporary file is left behind";
}

INSTANTIATE_TEST_SUITE_P(Table, ReplaceOnWindows, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<ReplaceCase>& info) {
                             std::string name;
                             for (const char ch : std::string(info.param.behaviour)) {
                                 name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             }
                             return name;
                         });

} // namespace
