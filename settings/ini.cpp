#include "settings/ini.h"

#include "settings/code_page.h"
#include "settings/profile_file.h"
#include "settings/text.h"

#include <algorithm>

namespace mOpenSave {

// The 254-character limit was made for a single-byte code page, where a Russian letter is one
// byte. Where the code page is UTF-8, characters are counted instead of bytes, so a value keeps
// as many letters as it would there.
std::string ReadINI(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& defaultValue) {
    return text::fromAnsi(profile::readFileString(text::pathOf(file), text::toAnsi(section),
                                                  text::toAnsi(key), text::toAnsi(defaultValue),
                                                  profile::kReadBufferSize, text::ansiCharset()));
}

void WriteINI(const std::string& file, const std::string& section, const std::string& key,
              std::string& value) {
    std::replace(value.begin(), value.end(), '\r', ' ');
    std::replace(value.begin(), value.end(), '\n', ' ');
    // Nothing to report: a refused write leaves the file as it was.
    profile::writeFileString(text::pathOf(file), text::toAnsi(section), text::toAnsi(key),
                             text::toAnsi(value));
}

} // namespace mOpenSave
