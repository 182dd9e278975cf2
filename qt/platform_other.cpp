#include "qt/platform.h"

void preparePlatform() {}

void closeOnEndRequests(QWidget&) {}
