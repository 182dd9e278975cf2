#pragma once

class QWidget;

// Prepares the process for this platform before the application object exists.
void preparePlatform();

// Where the system asks the program to end (SIGTERM, SIGHUP on Linux), closes the window as
// the user would, so the options are saved and the program ends well.
void closeOnEndRequests(QWidget& window);
