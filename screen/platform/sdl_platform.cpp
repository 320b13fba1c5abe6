// Placeholder until the SDL platform lands: runs headless.
#include "screen/platform/sdl_platform.h"

#include "screen/headless_platform.h"

namespace screen {

std::unique_ptr<Platform> makeSdlPlatform() {
  return std::make_unique<HeadlessPlatform>(std::make_shared<HeadlessPlatform::Probe>());
}

}  // namespace screen
