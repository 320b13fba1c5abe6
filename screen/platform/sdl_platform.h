// The real platform: an SDL2 window or full-screen display, its events, the beep.
#pragma once

#include <memory>

#include "screen/platform.h"

namespace screen {

std::unique_ptr<Platform> makeSdlPlatform();

}  // namespace screen
