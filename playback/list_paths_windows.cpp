#include "playback/list_paths.h"

#include "text/text.h"

#include <filesystem>

namespace playback {
namespace {

// "\\server\share\..." (or "\\?\..."). MinGW's library knows no share: it takes the two separators
// that open it for one, and puts a drive before them when joining.
bool isShare(std::string_view path) {
    const auto separator = [](char c) { return c == '\\' || c == '/'; };
    return path.size() > 2 && separator(path[0]) && separator(path[1]) && !separator(path[2]);
}

} // namespace

std::optional<std::string> localFileUrlPath(const std::string& host, std::string path) {
    const auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (path.size() >= 3 && letter(path[1]) && path[2] == ':')
        path.erase(0, 1); // "/C:/x"
    else if (!host.empty() && host != "localhost")
        path = "//" + host + path; // a share
    return path;
}

std::string madeWhole(std::string entry, std::string folder) {
    // A share is made whole as a path from the root, and given back its second separator.
    const std::filesystem::path asWritten = text::pathOf(entry);
    const bool share = isShare(entry) || (isShare(folder) && !asWritten.has_root_name() &&
                                          !asWritten.has_root_directory());
    if (isShare(entry)) {
        entry.erase(0, 1);
        folder.clear();
    } else if (share) {
        folder.erase(0, 1);
    }
    const std::filesystem::path path =
        folder.empty() ? text::pathOf(entry) : text::pathOf(folder) / text::pathOf(entry);
    return (share ? "\\" : "") + text::utf8Of(path.lexically_normal());
}

bool namesNothingHere(std::string_view) {
    return false;
}

std::string folderOf(const std::string& list) {
    const std::size_t last = list.find_last_of("\\/");
    return last == std::string::npos ? std::string() : list.substr(0, last + 1);
}

} // namespace playback
