#include "settings/code_page.h"

#include "text/text.h"

#include <climits>
#include <windows.h>

namespace text {
namespace {

// UTF-8 converts the same everywhere (text/); only the code page is the system's.
std::wstring wideOfAnsi(std::string_view bytes) {
    if (bytes.empty() || bytes.size() > INT_MAX / 2)
        return {};
    const int length = static_cast<int>(bytes.size());
    const int size = MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, out.data(), size);
    return out;
}

std::string ansiOfWide(const std::wstring& utf16) {
    if (utf16.empty())
        return {};
    if (GetACP() == CP_UTF8)
        return utf8OfUtf16({reinterpret_cast<const char16_t*>(utf16.data()), utf16.size()});
    // Best fit would map look-alikes onto real characters.
    const int length = static_cast<int>(utf16.size());
    const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, utf16.data(), length,
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, utf16.data(), length, out.data(), size,
                        nullptr, nullptr);
    return out;
}

} // namespace

std::string toAnsi(std::string_view utf8) {
    const std::u16string utf16 = utf16Of(utf8);
    return ansiOfWide(std::wstring(utf16.begin(), utf16.end()));
}

std::string fromAnsi(std::string_view ansi) {
    const std::wstring utf16 = wideOfAnsi(ansi);
    return utf8OfUtf16({reinterpret_cast<const char16_t*>(utf16.data()), utf16.size()});
}

profile::Charset ansiCharset() {
    return GetACP() == CP_UTF8 ? profile::Charset::Utf8 : profile::Charset::SingleByte;
}

} // namespace text
