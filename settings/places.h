#pragma once

// Where the program keeps its files: the settings file and the song files.

#include <optional>
#include <string>
#include <string_view>

namespace settings {

// `folder` ending in a separator: the platform's own is appended unless it already ends in "\"
// or "/", so a root folder is not doubled. Empty text stays empty.
std::string folderWithSeparator(std::string_view folder);

// The folder that holds mirc.ini and SongName.txt, ending in a separator. The program's own when
// it can be written, so the player shares the IRC client's folder; else the user's configuration
// folder for the program: xdgConfigHome/tunelark, or home/.config/tunelark when xdgConfigHome is
// empty or not absolute. With neither, the program's own folder after all.
std::string filesFolder(const std::string& programFolder, bool programFolderWritable,
                        const std::string& xdgConfigHome, const std::string& home);

// What the program can do with the settings file at `file`, as it stands.
struct SettingsFile {
    bool present = false; // a file, or anything else, or a link, by that name
    // Why its options cannot be kept there, in the user's words; none when they can (a missing
    // file can be made, and so can one a link points to in a folder that exists).
    std::optional<std::string> whyNotKept = {};
    // Whether options can be read from it: a file, in an encoding the profile rules read.
    bool readable = false;
};
SettingsFile checkSettingsFile(const std::string& file);

} // namespace settings
