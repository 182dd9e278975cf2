#pragma once

// Prepares the process for this platform before the application object exists.
void preparePlatform();
