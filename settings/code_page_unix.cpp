#include "settings/code_page.h"

#include "text/text.h"

namespace text {

std::string toAnsi(std::string_view utf8) {
    return std::string(utf8);
}

std::string fromAnsi(std::string_view ansi) {
    return validUtf8(ansi);
}

profile::Charset ansiCharset() {
    return profile::Charset::Utf8;
}

} // namespace text
