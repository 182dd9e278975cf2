#include "playback/list_paths.h"

#include "text/text.h"

#include <algorithm>
#include <filesystem>

namespace playback {
namespace {

// Lists travel from Windows; such a path names nothing here and is kept as the list wrote it.
bool isWindowsAbsolute(std::string_view path) {
    const auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    return (path.size() >= 3 && letter(path[0]) && path[1] == ':' &&
            (path[2] == '\\' || path[2] == '/')) ||
           path.starts_with('\\');
}

} // namespace

std::optional<std::string> localFileUrlPath(const std::string& host, std::string path) {
    if (!host.empty() && host != "localhost")
        return std::nullopt;
    return path;
}

std::string madeWhole(std::string entry, std::string folder) {
    if (isWindowsAbsolute(entry))
        return entry;
    if (!entry.starts_with('/'))
        std::replace(entry.begin(), entry.end(), '\\', '/');
    const std::filesystem::path path =
        folder.empty() ? text::pathOf(entry) : text::pathOf(folder) / text::pathOf(entry);
    return text::utf8Of(path.lexically_normal());
}

bool namesNothingHere(std::string_view path) {
    return isWindowsAbsolute(path);
}

std::string folderOf(const std::string& list) {
    const std::size_t last = list.rfind('/');
    return last == std::string::npos ? std::string() : list.substr(0, last + 1);
}

} // namespace playback
