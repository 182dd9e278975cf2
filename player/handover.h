#pragma once

// What a later start hands the running copy: the files it was started with, of which the first
// is opened. Any program may hand such a list, so what can name no file is refused.

#include <optional>
#include <string>
#include <string_view>

namespace player {

// The longest name a file can have, in UTF-16 units: Windows' longest path.
inline constexpr std::size_t kMaxHandedName = 32767;

// The first name of a list of UTF-16 names, each ended by NUL (the last one's may be missing),
// in UTF-8; none when it can name no file: empty, longer than kMaxHandedName, or holding a
// control character or half of a surrogate pair.
std::optional<std::string> firstHandedFile(std::u16string_view names);

} // namespace player
