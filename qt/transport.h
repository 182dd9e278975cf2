#pragma once

#include <optional>

// The engine's state as the control bar shows it.
struct Transport {
    bool loaded = false; // a medium is open
    bool paused = false;
    double position = 0;            // seconds
    std::optional<double> duration; // none while unknown, and for a live stream
    bool seekable = false;
    int volume = 0; // 0..100
    bool muted = false;
};
