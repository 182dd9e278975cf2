#include "win32/mirc_link.h"

#include "settings/code_page.h"
#include "win32/dde_client.h"

#include <climits>

namespace announce {

MircLink::MircLink() : m_client(std::make_unique<DdeClient>()) {}

MircLink::~MircLink() = default;

std::string MircLink::escapeValue(const std::string& value) const {
    return escapeCommandSeparator(value);
}

bool MircLink::send(const std::string& line) {
    // No announcement comes near this; a longer line is refused rather than cut.
    if (line.size() > INT_MAX / 4)
        return false;
    return m_client->poke(text::toAnsi(line)) == DdePokeResult::Delivered;
}

} // namespace announce
