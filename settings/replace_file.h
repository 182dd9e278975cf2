#pragma once

// Puts new bytes in place of a whole file. One implementation per OS, both plain C++, so the
// Windows one is built with MinGW and tested under Wine. The settings file and the song file
// both go through here; they differ only in what a read-only file means to them.

#include <filesystem>
#include <string_view>

namespace settings {

enum class ReadOnlyFile {
    Keep,    // left as it is, and the write fails: the settings file is shared with its owner
    Rewrite, // made writable and rewritten: the song file is ours alone
};

// Whether `file`, once its links are followed, is a file of another user. Never on Windows, where
// the profile folders keep each user's files apart.
bool isAnotherUsersFile(const std::filesystem::path& file);

// Puts `bytes` in place of `file`, creating it when missing and writing through a symbolic link,
// but never through one to another user's file: that is refused, and said once on stderr.
// A reader sees the old or the new bytes, never a mix: the new bytes go to a temporary file
// beside it that then takes its place, keeping its permissions (and, on Windows, its
// attributes). Where that cannot be done (on Windows a reader holding the file open without
// sharing its deletion, after a short bounded wait), the file is overwritten in place without
// first being cut short. Returns whether the file now holds `bytes`. On failure an existing
// file keeps its bytes and a missing one stays missing: no outcome leaves it empty or gone.
bool replaceFile(const std::filesystem::path& file, std::string_view bytes, ReadOnlyFile readOnly);

} // namespace settings
