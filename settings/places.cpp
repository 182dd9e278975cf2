#include "settings/places.h"

#include "settings/replace_file.h"
#include "text/text.h"

#include <fstream>

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

SettingsFile checkSettingsFile(const std::string& file) {
    namespace fs = std::filesystem;
    const fs::path path = text::pathOf(file);
    std::error_code error;
    const fs::file_status link = fs::symlink_status(path, error);
    if (!fs::exists(link))
        return {};
    const auto cannot = [](std::string why, bool readable = false) {
        return SettingsFile{true, std::move(why), readable};
    };
    const fs::file_status status = fs::status(path, error);
    if (!fs::exists(status)) {
        // A link to nothing: writing makes its file, where that file's folder is there.
        const fs::path target = fs::read_symlink(path, error);
        const fs::path folder =
            (target.is_absolute() ? target : path.parent_path() / target).parent_path();
        if (!error && fs::is_directory(folder, error))
            return {true};
        return cannot("это ссылка на " + text::utf8Of(target) + ", а такого файла нет");
    }
    if (fs::is_directory(status))
        return cannot("это папка, а не файл");
    if (!fs::is_regular_file(status))
        return cannot("это не обычный файл");
    char mark[2] = {};
    std::ifstream(path, std::ios::binary).read(mark, 2);
    if (mark[0] == '\xFE' && mark[1] == '\xFF')
        return cannot("он в кодировке UTF-16BE, а её Tunelark не читает и не пишет");
    if (fs::is_symlink(link) && isAnotherUsersFile(path))
        return cannot("это ссылка на файл другого пользователя", true);
    return {true, std::nullopt, true};
}

} // namespace settings
