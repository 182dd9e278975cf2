#pragma once

// How the entries of a playlist name files on this system: the part of the list rules that
// differs between Windows and the others, one implementation per OS.

#include <optional>
#include <string>
#include <string_view>

namespace playback {

// The path a file:// address names here, from its host (lower case) and its decoded path; none
// when it names nothing here, and the address is kept as it is.
std::optional<std::string> localFileUrlPath(const std::string& host, std::string path);

// A path entry made whole against the list's folder (empty: left as it is), and normalised.
std::string madeWhole(std::string entry, std::string folder);

// Whether a path entry names nothing on this system (a Windows drive elsewhere), so it is not
// read as a list.
bool namesNothingHere(std::string_view path);

// The folder a list is in, with its last separator; empty for none.
std::string folderOf(const std::string& list);

} // namespace playback
