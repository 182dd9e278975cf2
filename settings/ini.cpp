#include "settings/ini.h"

#include "settings/code_page.h"
#include "settings/profile_file.h"
#include "text/text.h"

#include <algorithm>

namespace mOpenSave {
namespace {

// The IRC client may have written its file in UTF-8 or in the ANSI code page: values go in the
// file's own encoding, so its other sections stay readable to it. A new file, or one of plain
// ASCII, takes the ANSI code page.
struct Encoding {
    bool utf8 = false;

    explicit Encoding(const std::string& file) {
        const std::string bytes = profile::fileBytes(text::pathOf(file));
        const bool beyondAscii =
            std::any_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) != 0; });
        // A UTF-16 file takes UTF-8 text; the profile rules write it back as UTF-16.
        utf8 = bytes.starts_with("\xFF\xFE") || (beyondAscii && text::validUtf8(bytes) == bytes);
    }
    std::string out(std::string_view value) const {
        return utf8 ? std::string(value) : text::toAnsi(value);
    }
    std::string in(std::string_view value) const {
        return utf8 ? std::string(value) : text::fromAnsi(value);
    }
    profile::Charset charset() const { return utf8 ? profile::Charset::Utf8 : text::ansiCharset(); }
};

} // namespace

// The 254-character limit was made for a single-byte code page, where a Russian letter is one
// byte. Where the code page is UTF-8, characters are counted instead of bytes, so a value keeps
// as many letters as it would there.
std::string ReadINI(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& defaultValue) {
    const Encoding encoding(file);
    return encoding.in(profile::readFileString(text::pathOf(file), encoding.out(section),
                                               encoding.out(key), encoding.out(defaultValue),
                                               profile::kReadBufferSize, encoding.charset()));
}

void WriteINI(const std::string& file, const std::string& section, const std::string& key,
              std::string& value) {
    std::replace(value.begin(), value.end(), '\r', ' ');
    std::replace(value.begin(), value.end(), '\n', ' ');
    // Nothing to report: a refused write leaves the file as it was.
    const Encoding encoding(file);
    profile::writeFileString(text::pathOf(file), encoding.out(section), encoding.out(key),
                             encoding.out(value));
}

} // namespace mOpenSave
