#pragma once

// The link on Linux and other Unix systems: WeeChat's fifo first, then HexChat on the session bus.

#include "announce/irc_link.h"

#include <memory>

namespace announce {

std::unique_ptr<IrcLink> makeIrcLink();

} // namespace announce
