#pragma once

// Where the program keeps its files: the settings file and the song files.

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

} // namespace settings
