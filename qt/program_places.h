#pragma once

// Where the Linux program keeps its files: beside itself where its folder already holds the IRC
// client's mirc.ini, or where the caller keeps them there anyway (the build folder, a test's);
// else, as where that folder cannot be written, in the user's configuration folder, made when
// first needed.

#include "player/player.h"

#include <QString>

player::Places programPlaces(const QString& programFolder, bool keepBeside);

// Whether folder is the one this program was built into.
bool isBuildFolder(const QString& folder);
