#pragma once

// Platform part of the profile-file writer; one implementation per OS.

#include <filesystem>
#include <string_view>

namespace profile {

// Puts `bytes` in place of the regular file `file` (created when missing) so that a reader
// sees either the old or the new bytes, never a mix. An existing file keeps its permissions;
// a read-only one is left alone. Returns false, changing nothing, on any failure.
bool replaceFile(const std::filesystem::path& file, std::string_view bytes);

} // namespace profile
