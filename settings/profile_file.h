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

// Size of the read buffer the callers use, in characters; a read returns at most one less.
inline constexpr std::size_t kReadBufferSize = 255;

// How the bytes are encoded, which decides how long a value is in characters.
enum class Charset {
    SingleByte, // one byte, one character
    Utf8,       // a whole multi-byte sequence is one character; a broken one counts by the byte
};

// The length in bytes of the longest prefix of `text` that holds at most `maxChars` characters.
std::size_t cutLength(std::string_view text, std::size_t maxChars, Charset charset);

// The value of `key` in `section` of the profile held in `text`, or `defaultValue` with its
// trailing spaces removed, cut to fit a buffer of `bufferSize` characters including its NUL.
std::string readString(std::string_view text, std::string_view section, std::string_view key,
                       std::string_view defaultValue, std::size_t bufferSize = kReadBufferSize,
                       Charset charset = Charset::SingleByte);

// `text` with `key` in `section` set to `value`. Only the key's own line changes (or one
// line is added); every other byte is kept. CR and LF in the value become blanks, so it stays
// one line. Where isWritable() is false, `text` comes back unchanged.
std::string writeString(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value);

// Whether `key` in `section` can be written to `text` and read back: the text is editable, the
// section holds no "]" and the key no "=", neither holds a line break or starts or ends with a
// tab (spaces are trimmed), and the key starts with neither "[" nor ";". Other names would read
// as something else, and every later write would add yet another line.
bool isWritable(std::string_view text, std::string_view section, std::string_view key);

// False when `text` is in a form the byte rules would damage (UTF-16), so it must be left
// alone.
bool isEditable(std::string_view text);

// The bytes of a regular file; empty for a missing one or anything else (a pipe, a device).
std::string fileBytes(const std::filesystem::path& file);

// readString() over a file; a missing or unreadable file gives the default. A file in UTF-16LE
// with its byte order mark is read, and written, as UTF-8 text, as the system's own functions do.
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
