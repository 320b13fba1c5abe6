#include "screen/platform/sdl_display_modes.h"

namespace screen {

std::optional<SDL_DisplayMode> chooseFullScreenMode(const std::vector<SDL_DisplayMode>& modes,
                                                    const SDL_DisplayMode& desktop) {
  // A pixel format fits a depth step: 16 bits, 15 bits, or the desktop's own format.
  const auto fits = [&desktop](Uint32 format, int step) {
    if (step == 2) return format == desktop.format;
    return static_cast<int>(SDL_BITSPERPIXEL(format)) == (step == 0 ? 16 : 15);
  };
  for (const int height : FullScreenHeights) {
    for (int step = 0; step < 3; ++step) {
      const SDL_DisplayMode* found = nullptr;
      for (const SDL_DisplayMode& mode : modes) {
        if (mode.w != 800 || mode.h != height || !fits(mode.format, step)) continue;
        if (found == nullptr || (mode.refresh_rate == desktop.refresh_rate &&
                                 found->refresh_rate != desktop.refresh_rate))
          found = &mode;
      }
      if (found != nullptr) return *found;
    }
  }
  return std::nullopt;
}

std::optional<PixelFormat> directPixelFormat(Uint32 sdlFormat) {
  switch (sdlFormat) {
    case SDL_PIXELFORMAT_RGB565:
      return PixelFormat::Rgb565;
    case SDL_PIXELFORMAT_RGB555:
      return PixelFormat::Rgb555;
    case SDL_PIXELFORMAT_RGB888:
      return PixelFormat::Xrgb8888;
    default:
      return std::nullopt;
  }
}

}  // namespace screen
