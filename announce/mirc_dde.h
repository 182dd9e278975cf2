// The system half of the link to mIRC on Windows. Plain C++ over Win32, so MinGW builds it and
// Wine tests it; the portable half (irc_link_dde.cpp) hands it each line as UTF-16.
#pragma once
#include <functional>
#include <string>

namespace announce {

// Delivers one line; true when mIRC took it.
using MircSender = std::function<bool(const std::wstring& line)>;

// A sender with a DDE conversation of its own, used on the thread that made it. The line goes
// out in the system's ANSI code page with its NUL. A character the code page lacks becomes the
// code page's default character, never a look-alike, and the rest of the line is kept.
MircSender makeMircSender();

} // namespace announce
