#include "announce/overlay_listen.h"

#include <winsock2.h>

namespace announce {

// Windows lets another socket bind a port taken without SO_REUSEADDR; this forbids it.
void prepareListener(std::uintptr_t socket) {
    const BOOL on = TRUE;
    setsockopt(static_cast<SOCKET>(socket), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
               reinterpret_cast<const char*>(&on), sizeof on);
}

} // namespace announce
