#pragma once

// Where the Windows program is, and where it keeps its files.

#include "player/player.h"

namespace win32 {

// The program's folder; the files go there when it can be written (the IRC client's folder),
// else to %APPDATA%\Tunelark.
player::Places programPlaces();

} // namespace win32
