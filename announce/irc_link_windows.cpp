#include "announce/dde_client.h"
#include "announce/mirc_dde.h"

#include <climits>
#include <memory>
#include <windows.h>

namespace announce {
namespace {

// What mIRC reads as CF_TEXT. Without best fit, a look-alike such as a full-width "｜" cannot
// turn into the command separator the link escapes everywhere else.
std::string toAnsiCodePage(const std::wstring& utf16) {
    if (utf16.empty()) {
        return {};
    }
    const int length = static_cast<int>(utf16.size());
    const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, utf16.data(), length,
                                         nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, utf16.data(), length, ansi.data(), size,
                        nullptr, nullptr);
    return ansi;
}

} // namespace

MircSender makeMircSender() {
    auto client = std::make_shared<DdeClient>();
    return [client](const std::wstring& line) {
        // No announcement comes near this; a longer line is refused rather than cut.
        if (line.size() > INT_MAX / 4) {
            return false;
        }
        return client->poke(toAnsiCodePage(line)) == DdePokeResult::Delivered;
    };
}

} // namespace announce
