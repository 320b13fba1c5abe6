// Reads a picture back into character cells, the way a person reads the screen: each
// 8 x 16 cell becomes the code page 437 character whose shape it shows, with its
// foreground and background in the page's 5-6-5 form.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace support {

struct Cell {
  unsigned char character = ' ';
  std::uint16_t foreground = 0;  // for a cell of one colour, equal to the background
  std::uint16_t background = 0;
  bool recognised = false;  // false when no glyph in two colours gives these pixels
};

class CellGrid {
 public:
  // pixels: 5-6-5, `pitch` pixels per line; the grid starts at line `top`.
  static CellGrid fromPage(const std::uint16_t* pixels, int pitch = 800, int top = 0);
  // A screenshot in 0xRRGGBB, width pixels a line: each component's high bits are kept.
  static CellGrid fromPicture(const std::vector<std::uint32_t>& rgb, int width, int top = 0,
                              int left = 0);

  // Row 1 to 37, column 1 to 100.
  const Cell& at(int row, int column) const { return cells_[(row - 1) * 100 + (column - 1)]; }
  // The characters of a row, 100 of them; an unrecognised cell reads as '?'.
  std::string rowText(int row) const;
  std::string text(int row, int column, int length) const;

 private:
  std::vector<Cell> cells_ = std::vector<Cell>(37 * 100);
};

// 0xRRGGBB as the page stores it (the low bits of each component cut off).
std::uint16_t to565(std::uint32_t rgb);

}  // namespace support
