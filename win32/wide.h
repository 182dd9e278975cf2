#pragma once

// UTF-16 at the Windows API, UTF-8 everywhere else.

#include <string>
#include <string_view>

namespace win32 {

std::wstring wide(std::string_view utf8);
std::string utf8(std::wstring_view utf16);

} // namespace win32
