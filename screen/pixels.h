// Converting 5-6-5 page pixels into the screen's own layout: each component is shifted
// into the high bits and the low bits stay zero, so white shows as 0xF8FCF8.
#pragma once

#include <cstdint>

#include "screen/platform.h"

namespace screen {

constexpr std::uint32_t xrgbFrom565(std::uint16_t p) {
  return static_cast<std::uint32_t>(p >> 11) << 19 |
         static_cast<std::uint32_t>((p >> 5) & 0x3F) << 10 |
         static_cast<std::uint32_t>(p & 0x1F) << 3;
}

// 5-5-5 drops the lowest green bit.
constexpr std::uint16_t rgb555From565(std::uint16_t p) {
  return static_cast<std::uint16_t>((p >> 1 & 0x7FE0) | (p & 0x1F));
}

inline void convertLine(const std::uint16_t* source, std::uint8_t* target, int pixels,
                        PixelFormat format) {
  switch (format) {
    case PixelFormat::Rgb565:
      for (int x = 0; x < pixels; ++x) reinterpret_cast<std::uint16_t*>(target)[x] = source[x];
      break;
    case PixelFormat::Rgb555:
      for (int x = 0; x < pixels; ++x)
        reinterpret_cast<std::uint16_t*>(target)[x] = rgb555From565(source[x]);
      break;
    case PixelFormat::Xrgb8888:
      for (int x = 0; x < pixels; ++x)
        reinterpret_cast<std::uint32_t*>(target)[x] = xrgbFrom565(source[x]);
      break;
  }
}

}  // namespace screen
