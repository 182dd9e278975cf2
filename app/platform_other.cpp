#include "app/platform.h"

void preparePlatform() {}
