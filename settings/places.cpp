#include "settings/places.h"

#include "settings/text.h"

namespace settings {

std::string folderWithSeparator(std::string_view folder) {
    if (folder.empty() || folder.ends_with('/') || folder.ends_with('\\'))
        return std::string(folder);
    return std::string(folder) + static_cast<char>(std::filesystem::path::preferred_separator);
}

std::string filesFolder(const std::string& programFolder, bool programFolderWritable,
                        const std::string& xdgConfigHome, const std::string& home) {
    if (programFolderWritable)
        return folderWithSeparator(programFolder);
    std::string config;
    if (text::pathOf(xdgConfigHome).is_absolute())
        config = folderWithSeparator(xdgConfigHome);
    else if (text::pathOf(home).is_absolute())
        config = folderWithSeparator(home) + ".config/";
    else
        return folderWithSeparator(programFolder);
    return config + "tunelark/";
}

} // namespace settings
