#include "announce/overlay_listen.h"

#include <sys/socket.h>

namespace announce {

// Connections this side closed linger in TIME_WAIT; without this a quick restart would find its
// own port taken. Linux still refuses a port another socket listens on.
void prepareListener(std::uintptr_t socket) {
    const int on = 1;
    setsockopt(static_cast<int>(socket), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
}

} // namespace announce
