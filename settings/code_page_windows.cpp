#include "settings/code_page.h"

#include <climits>
#include <windows.h>

namespace text {
namespace {

std::wstring wide(UINT codePage, std::string_view bytes) {
    if (bytes.empty() || bytes.size() > INT_MAX / 2)
        return {};
    const int length = static_cast<int>(bytes.size());
    const int size = MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), length, out.data(), size);
    return out;
}

std::string narrow(UINT codePage, const std::wstring& utf16) {
    if (utf16.empty())
        return {};
    // Best fit would map look-alikes onto real characters; UTF-8 takes no flags at all.
    const DWORD flags = codePage == CP_UTF8 || GetACP() == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int length = static_cast<int>(utf16.size());
    const int size =
        WideCharToMultiByte(codePage, flags, utf16.data(), length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    WideCharToMultiByte(codePage, flags, utf16.data(), length, out.data(), size, nullptr, nullptr);
    return out;
}

} // namespace

std::string toAnsi(std::string_view utf8) {
    return narrow(CP_ACP, wide(CP_UTF8, utf8));
}

std::string fromAnsi(std::string_view ansi) {
    return narrow(CP_UTF8, wide(CP_ACP, ansi));
}

profile::Charset ansiCharset() {
    return GetACP() == CP_UTF8 ? profile::Charset::Utf8 : profile::Charset::SingleByte;
}

} // namespace text
