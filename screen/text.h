// Text cells: the 100 x 37 grid of 8 x 16 character cells drawn into the work page,
// the current colours, the cursor and its wrapping and scrolling rules.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace screen {

// A counted sequence of 8-bit characters; every byte, 0 included, is one cell.
using Text = std::string;

// A colour as 0xRRGGBB; a negative value keeps the colour in force.
using ColourValue = std::int32_t;
constexpr ColourValue KeepColour = -1;

constexpr int GridColumns = 100;
constexpr int GridRows = 37;
constexpr int CellWidth = 8;
constexpr int CellHeight = 16;

// The 5-6-5 form a colour is stored in: the low bits of each component are cut off.
constexpr std::uint16_t storedColour(ColourValue colour) {
  const auto v = static_cast<std::uint32_t>(colour);
  return static_cast<std::uint16_t>(((v >> 19) & 0x1F) << 11 | ((v >> 10) & 0x3F) << 5 |
                                    ((v >> 3) & 0x1F));
}

struct CellPosition {
  int row = 1;     // 1 to 37
  int column = 1;  // 1 to 100
};

void setColours(ColourValue foreground, ColourValue background);
void clearScreen();
// Places the cursor; 0 keeps that coordinate. Returns 0 when placed, 1 when refused.
int locate(int row, int column);
// Draws the text at the cursor; with newLine, a second output of the bytes 13 and 10
// follows. With no display open the bytes go to standard output instead.
void printText(std::string_view text, bool newLine);
CellPosition cursorPosition();
// Columns and rows of the grid.
CellPosition gridSize();
// Makes the line advance that a character in the last cell of the grid left pending.
void settlePendingWrap();

// The text state to its opening values: white on black, cursor at row 1, column 1.
void resetTextState();

}  // namespace screen
