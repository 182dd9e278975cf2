#pragma once

// Profile ("INI") files read and written one value at a time, by the rules the Windows
// profile functions apply, so that a file shared with another program reads the same on
// every platform and keeps every byte we do not own.
//
// Texts are byte strings in the system's ANSI code page. Names match regardless of ASCII
// letter case. Every text argument ends at its first NUL byte, as a C string would.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace profile {

// Size of the read buffer the callers use; a read returns at most one byte less.
inline constexpr std::size_t kReadBufferSize = 255;

// How the bytes are encoded, which decides where a long value may be cut.
enum class Charset {
    SingleByte, // any byte boundary is a character boundary
    Utf8,       // never cut inside a multi-byte sequence
};

// The longest prefix of `text` that fits `maxBytes` bytes and ends at a character boundary.
std::size_t cutLength(std::string_view text, std::size_t maxBytes, Charset charset);

// The value of `key` in `section` of the profile held in `text`, or `defaultValue` with its
// trailing spaces removed, cut to fit a buffer of `bufferSize` bytes including its NUL.
std::string readString(std::string_view text, std::string_view section, std::string_view key,
                       std::string_view defaultValue, std::size_t bufferSize = kReadBufferSize,
                       Charset charset = Charset::SingleByte);

// `text` with `key` in `section` set to `value`. Only the key's own line changes (or one
// line is added); every other byte is kept.
std::string writeString(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value);

// False when `text` is in a form the byte rules would damage (UTF-16), so it must be left
// alone.
bool isEditable(std::string_view text);

// readString() over a file; a missing or unreadable file gives the default.
std::string readFileString(const std::filesystem::path& file, std::string_view section,
                           std::string_view key, std::string_view defaultValue,
                           std::size_t bufferSize = kReadBufferSize,
                           Charset charset = Charset::SingleByte);

// writeString() over a file, creating it when missing. The file is replaced atomically and
// keeps its permissions. Returns whether the file now holds the value; on failure (missing
// folder, read-only file, a path that is not a regular file) the file is left as it was.
bool writeFileString(const std::filesystem::path& file, std::string_view section,
                     std::string_view key, std::string_view value);

} // namespace profile
