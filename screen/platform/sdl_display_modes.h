// Choosing the full-screen display mode and reading SDL pixel formats as the display's own.
#pragma once

#include <SDL.h>

#include <optional>
#include <vector>

#include "screen/platform.h"

namespace screen {

// Heights a full-screen mode may have, in order of preference: the picture's own 600
// lines, else a taller mode with the picture centred in it.
constexpr int FullScreenHeights[] = {600, 768, 1024};

// The mode the full-screen form uses, from the display's mode list: exactly 800 wide, the
// heights above in order, and at each height 16 bits, then 15 bits, then the desktop's own
// pixel format (a desktop that cannot switch depth, as under X11, offers only that one).
// Among equal modes the desktop's refresh rate wins. Nothing when no mode fits.
std::optional<SDL_DisplayMode> chooseFullScreenMode(const std::vector<SDL_DisplayMode>& modes,
                                                    const SDL_DisplayMode& desktop);

// Lines above the picture in a mode `modeHeight` lines tall.
constexpr int pictureTop(int modeHeight) {
  return (modeHeight - 600) / 2;
}

// The page-line layout that an SDL surface format takes without conversion by SDL;
// nothing for any other format.
std::optional<PixelFormat> directPixelFormat(Uint32 sdlFormat);

}  // namespace screen
