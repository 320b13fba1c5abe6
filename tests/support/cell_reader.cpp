#include "support/cell_reader.h"

#include <algorithm>
#include <array>

#include "screen/glyphs.h"

namespace support {
namespace {

// Printable ASCII first, so that a blank cell reads as a space and a shape that two
// bytes share reads as the everyday one.
const std::array<int, 256>& matchOrder() {
  static const std::array<int, 256> order = [] {
    std::array<int, 256> o{};
    int k = 0;
    for (int b = 32; b < 127; ++b) o[k++] = b;
    for (int b = 128; b < 256; ++b) o[k++] = b;
    for (int b = 0; b < 32; ++b) o[k++] = b;
    o[k++] = 127;
    return o;
  }();
  return order;
}

Cell readCell(const std::uint16_t* pixels, int pitch) {
  Cell cell;
  const std::uint16_t first = pixels[0];
  std::uint16_t second = first;
  bool twoColours = false;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 8; ++x) {
      const std::uint16_t p = pixels[y * pitch + x];
      if (p == first) continue;
      if (!twoColours) {
        second = p;
        twoColours = true;
      } else if (p != second) {
        return cell;  // three colours: no glyph
      }
    }
  if (!twoColours) {
    cell.character = ' ';
    cell.foreground = cell.background = first;
    cell.recognised = true;
    return cell;
  }
  for (const int b : matchOrder()) {
    for (const std::uint16_t fg : {first, second}) {
      const std::uint16_t bg = fg == first ? second : first;
      bool same = true;
      for (int y = 0; y < 16 && same; ++y) {
        std::uint8_t bits = 0;
        for (int x = 0; x < 8; ++x)
          if (pixels[y * pitch + x] == fg) bits |= static_cast<std::uint8_t>(0x80 >> x);
        same = bits == screen::Glyphs[b][y];
      }
      if (same) {
        cell.character = static_cast<unsigned char>(b);
        cell.foreground = fg;
        cell.background = bg;
        cell.recognised = true;
        return cell;
      }
    }
  }
  return cell;
}

}  // namespace

std::uint16_t to565(std::uint32_t rgb) {
  return static_cast<std::uint16_t>(((rgb >> 19) & 0x1F) << 11 | ((rgb >> 10) & 0x3F) << 5 |
                                    ((rgb >> 3) & 0x1F));
}

CellGrid CellGrid::fromPage(const std::uint16_t* pixels, int pitch, int top) {
  CellGrid grid;
  for (int row = 0; row < 37; ++row)
    for (int column = 0; column < 100; ++column)
      grid.cells_[row * 100 + column] =
          readCell(pixels + (top + row * 16) * pitch + column * 8, pitch);
  return grid;
}

CellGrid CellGrid::fromPicture(const std::vector<std::uint32_t>& rgb, int width, int top,
                               int left) {
  std::vector<std::uint16_t> page(800 * 600);
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 800; ++x) {
      const std::size_t at = static_cast<std::size_t>((top + y) * width + left + x);
      page[y * 800 + x] = at < rgb.size() ? to565(rgb[at]) : 0;
    }
  return fromPage(page.data());
}

std::string CellGrid::rowText(int row) const {
  return text(row, 1, 100);
}

std::string CellGrid::text(int row, int column, int length) const {
  std::string s;
  for (int c = column; c < column + length && c <= 100; ++c) {
    const Cell& cell = at(row, c);
    s += cell.recognised ? static_cast<char>(cell.character) : '?';
  }
  return s;
}

}  // namespace support
