#include "qt/platform.h"

void preparePlatform() {}
