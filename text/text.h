#pragma once

// Text as the core keeps it: UTF-8 in std::string. Each program converts at its own edges only
// (QString in the Linux program, UTF-16 in the Windows one).

#include <filesystem>
#include <string>
#include <string_view>

namespace text {

// A path named in UTF-8, and back: wide on Windows, so a folder outside the code page works.
// Neither throws: an invalid sequence, or a lone surrogate in a Windows name, is U+FFFD.
std::filesystem::path pathOf(std::string_view utf8);
std::string utf8Of(const std::filesystem::path& path);

// UTF-16 as UTF-8, and back; a lone surrogate, or an invalid UTF-8 sequence, becomes U+FFFD.
std::string utf8OfUtf16(std::u16string_view utf16);
std::u16string utf16Of(std::string_view utf8);

// Without the blanks (space, tab, line breaks, vertical tab, form feed) at either end.
std::string trimmed(std::string_view text);

// ASCII letters in lower case; every other byte as it is.
std::string lowerAscii(std::string_view text);

// Each invalid UTF-8 sequence as U+FFFD, so whatever reads the text next gets well-formed UTF-8.
std::string validUtf8(std::string_view text);

} // namespace text
