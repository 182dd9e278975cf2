#pragma once

// Where the Linux program keeps its files: beside itself, as in the IRC client's folder; where
// that cannot be written, in the user's configuration folder, made when first needed.

#include "player/player.h"

#include <QString>

player::Places programPlaces(const QString& programFolder);
