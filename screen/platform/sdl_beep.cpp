#include "screen/platform/sdl_beep.h"

namespace screen {

// Placeholder: silent until the audio path lands.
SdlBeeper::SdlBeeper() = default;
SdlBeeper::~SdlBeeper() = default;
void SdlBeeper::beep() {}

}  // namespace screen
