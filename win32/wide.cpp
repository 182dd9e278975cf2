#include "win32/wide.h"

#include "settings/text.h"

#include <climits>
#include <windows.h>

namespace win32 {

std::wstring wide(std::string_view utf8) {
    if (utf8.empty() || utf8.size() > INT_MAX / 2)
        return {};
    const int length = static_cast<int>(utf8.size());
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, out.data(), size);
    return out;
}

// Not the system's conversion: a lone surrogate, which a hostile name may hold, must not reach
// the core as invalid UTF-8.
std::string utf8(std::wstring_view utf16) {
    return text::utf8OfUtf16({reinterpret_cast<const char16_t*>(utf16.data()), utf16.size()});
}

} // namespace win32
