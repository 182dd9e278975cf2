#pragma once

// The program's options, kept as one section of a profile file shared with other programs.
// Texts are UTF-8; the file holds them in the system's ANSI code page.

#include <string>

namespace mOpenSave {

// The value of `key` in `section` of `file`, or `defaultValue` (without its trailing spaces)
// when the file or key is missing. At most 254 characters come back, never half of one.
std::string ReadINI(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& defaultValue);

// Stores `value` under `key` in `section` of `file`, creating the file, section or key as
// needed and leaving every other line as it was. Each CR and then each LF of `value` is first
// replaced by a blank, in the caller's text too. Failures are silent.
void WriteINI(const std::string& file, const std::string& section, const std::string& key,
              std::string& value);

} // namespace mOpenSave
