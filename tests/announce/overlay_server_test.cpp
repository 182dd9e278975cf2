// The overlay server's start and end, on any system.
#include "announce/overlay_server.h"

#include <gtest/gtest.h>

namespace {

using announce::OverlayServer;

TEST(OverlayServer, APortTakenIsSaidAndTheFirstKeepsIt) {
    OverlayServer first, second;
    int port = 20000 + std::rand() % 20000;
    while (first.start(port) != OverlayServer::Start::Listening)
        ASSERT_LT(++port, 65536);
    EXPECT_EQ(second.start(port), OverlayServer::Start::PortTaken);
    first.stop();
    // Stopped, the port is free again at once.
    EXPECT_EQ(second.start(port), OverlayServer::Start::Listening);
}

} // namespace
