#include "win32/wide.h"

#include "text/text.h"

namespace win32 {

// wchar_t is UTF-16 on Windows. Not the system's conversion: a lone surrogate, which a hostile
// name may hold, must not reach the core as invalid UTF-8.
std::wstring wide(std::string_view utf8) {
    const std::u16string utf16 = text::utf16Of(utf8);
    return std::wstring(utf16.begin(), utf16.end());
}

std::string utf8(std::wstring_view utf16) {
    return text::utf8OfUtf16({reinterpret_cast<const char16_t*>(utf16.data()), utf16.size()});
}

} // namespace win32
