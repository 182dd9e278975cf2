#pragma once

// The listening socket's options, which differ by system.

#include <cstdint>

namespace announce {

// A restart finds its port free at once, and no other program can share it.
void prepareListener(std::uintptr_t socket);

} // namespace announce
