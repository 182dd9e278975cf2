#include "announce/irc_link.h"

namespace announce {

std::string escapeCommandSeparator(std::string_view value) {
    std::string escaped;
    escaped.reserve(value.size());
    for (const char c : value) {
        if (c == '|')
            escaped += "\u00A6";
        else
            escaped += c;
    }
    return escaped;
}

} // namespace announce
