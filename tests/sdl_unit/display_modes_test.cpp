// Which full-screen mode the SDL platform takes from a display's mode list, and which
// window-surface formats the display code writes without SDL converting them.
#include <gtest/gtest.h>

#include "screen/platform/sdl_display_modes.h"

namespace {

using screen::chooseFullScreenMode;

SDL_DisplayMode mode(int w, int h, Uint32 format, int refresh = 60) {
  return SDL_DisplayMode{format, w, h, refresh, nullptr};
}

constexpr Uint32 Rgb565 = SDL_PIXELFORMAT_RGB565;
constexpr Uint32 Rgb555 = SDL_PIXELFORMAT_RGB555;
constexpr Uint32 Xrgb8888 = SDL_PIXELFORMAT_XRGB8888;
constexpr Uint32 Bgr888 = SDL_PIXELFORMAT_XBGR8888;

struct ModeCase {
  const char* what;
  std::vector<SDL_DisplayMode> modes;
  SDL_DisplayMode desktop;
  std::optional<SDL_DisplayMode> chosen;
};

TEST(FullScreenMode, FollowsHeightThenDepthPreference) {
  const SDL_DisplayMode desktop24 = mode(1920, 1080, Xrgb8888);
  const ModeCase cases[] = {
      {"16 bits first, whatever the order",
       {mode(1920, 1080, Xrgb8888), mode(800, 600, Xrgb8888), mode(800, 600, Rgb555),
        mode(800, 600, Rgb565), mode(640, 480, Rgb565)},
       desktop24,
       mode(800, 600, Rgb565)},
      {"15 bits when 16 are missing",
       {mode(800, 600, Xrgb8888), mode(800, 600, Rgb555)},
       desktop24,
       mode(800, 600, Rgb555)},
      {"the desktop's own depth when it cannot switch",
       {mode(1920, 1080, Xrgb8888), mode(800, 600, Xrgb8888)},
       desktop24,
       mode(800, 600, Xrgb8888)},
      {"a 32-bit mode of another layout is no choice",
       {mode(800, 600, Bgr888), mode(800, 768, Rgb565)},
       desktop24,
       mode(800, 768, Rgb565)},
      {"600 lines at the desktop's depth before 768 at 16 bits",
       {mode(800, 768, Rgb565), mode(800, 600, Xrgb8888)},
       desktop24,
       mode(800, 600, Xrgb8888)},
      {"1024 lines when nothing shorter exists",
       {mode(800, 1024, Rgb555), mode(1280, 1024, Rgb565)},
       desktop24,
       mode(800, 1024, Rgb555)},
      {"the desktop's refresh rate among equal modes",
       {mode(800, 600, Rgb565, 85), mode(800, 600, Rgb565, 60), mode(800, 600, Rgb565, 75)},
       desktop24,
       mode(800, 600, Rgb565, 60)},
      {"nothing exactly 800 wide of an accepted height",
       {mode(1024, 768, Rgb565), mode(801, 600, Rgb565), mode(800, 601, Rgb565),
        mode(800, 720, Rgb565), mode(800, 1200, Xrgb8888)},
       desktop24,
       std::nullopt},
      {"an empty list", {}, desktop24, std::nullopt},
  };
  for (const ModeCase& c : cases) {
    const std::optional<SDL_DisplayMode> chosen = chooseFullScreenMode(c.modes, c.desktop);
    ASSERT_EQ(chosen.has_value(), c.chosen.has_value()) << c.what;
    if (!chosen) continue;
    EXPECT_EQ(chosen->w, c.chosen->w) << c.what;
    EXPECT_EQ(chosen->h, c.chosen->h) << c.what;
    EXPECT_EQ(chosen->format, c.chosen->format) << c.what;
    EXPECT_EQ(chosen->refresh_rate, c.chosen->refresh_rate) << c.what;
  }
}

TEST(FullScreenMode, PictureIsCentredInATallerMode) {
  EXPECT_EQ(screen::pictureTop(600), 0);
  EXPECT_EQ(screen::pictureTop(768), 84);
  EXPECT_EQ(screen::pictureTop(1024), 212);
}

TEST(SurfaceFormat, OnlyTheThreeLayoutsAreWrittenDirectly) {
  using screen::PixelFormat;
  EXPECT_EQ(screen::directPixelFormat(Rgb565), PixelFormat::Rgb565);
  EXPECT_EQ(screen::directPixelFormat(Rgb555), PixelFormat::Rgb555);
  EXPECT_EQ(screen::directPixelFormat(Xrgb8888), PixelFormat::Xrgb8888);
  for (const Uint32 other :
       {Bgr888, Uint32{SDL_PIXELFORMAT_ARGB8888}, Uint32{SDL_PIXELFORMAT_BGR565},
        Uint32{SDL_PIXELFORMAT_RGB24}, Uint32{SDL_PIXELFORMAT_INDEX8}})
    EXPECT_FALSE(screen::directPixelFormat(other)) << SDL_GetPixelFormatName(other);
}

}  // namespace
