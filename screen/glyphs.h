// The 256 code page 437 shapes of the text screen, 8 x 16 pixels each.
#pragma once

#include <cstdint>

namespace screen {

constexpr int GlyphWidth = 8;
constexpr int GlyphHeight = 16;

// Glyphs[b][y] is pixel row y of the shape of byte b; bit 7 is the leftmost pixel.
extern const std::uint8_t Glyphs[256][GlyphHeight];

}  // namespace screen
