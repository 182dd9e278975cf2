#pragma once

// The system's ANSI code page: the encoding of the files shared with the IRC client (its
// settings file, the song file) and of the line handed to it. On Windows it is the active code
// page, CP1251 on a Russian system; elsewhere it is UTF-8. One implementation per OS.

#include "settings/profile_file.h"

#include <string>
#include <string_view>

namespace text {

// A character the code page lacks becomes its default character, never a look-alike: a full-width
// "｜" must not turn into the "|" that separates the client's commands.
std::string toAnsi(std::string_view utf8);
std::string fromAnsi(std::string_view ansi);

// How the profile rules count characters in it.
profile::Charset ansiCharset();

} // namespace text
