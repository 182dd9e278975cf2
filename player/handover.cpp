#include "player/handover.h"

#include "text/text.h"

#include <algorithm>

namespace player {

std::optional<std::string> firstHandedFile(std::u16string_view names) {
    const std::u16string_view first =
        names.substr(0, std::min(names.find(u'\0'), kMaxHandedName + 1));
    if (first.empty() || first.size() > kMaxHandedName)
        return std::nullopt;
    for (std::size_t i = 0; i < first.size(); ++i) {
        const char16_t c = first[i];
        const bool high = c >= 0xD800 && c < 0xDC00;
        const bool low = c >= 0xDC00 && c < 0xE000;
        const bool paired =
            high && i + 1 < first.size() && first[i + 1] >= 0xDC00 && first[i + 1] < 0xE000;
        if (c < 0x20 || c == 0x7F || low || (high && !paired))
            return std::nullopt;
        i += paired; // the pair's second half
    }
    return text::utf8OfUtf16(first);
}

} // namespace player
