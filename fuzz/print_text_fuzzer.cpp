// Fuzzes the text cells: random sequences of setColours, locate, printText (any bytes),
// settlePendingWrap and clearScreen, each checked against a cell model of the grid kept
// here from the drawing rules (cursor, wrapping at the right edge, the pending wrap of the
// last cell, scrolling, tab stops, backspace). After every step the cursor must be inside
// the grid and where the model says; at the end the page must be exactly the model's
// cells rendered from the glyph table, every grid pixel must be a colour this input used,
// and the 8 lines below the grid must still hold what the last clearScreen painted.
//
// Input: 3 bytes foreground, 3 bytes background for the opening clearScreen, then steps,
// each an opcode byte followed by its operands.
#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "screen/display.h"
#include "screen/text.h"

namespace {

using fuzz::ModelCell;
using screen::GridColumns;
using screen::GridRows;

// The grid as the drawing rules say it must be.
class GridModel {
 public:
  void setColours(screen::ColourValue foreground, screen::ColourValue background) {
    if (foreground >= 0) foreground_ = screen::storedColour(foreground);
    if (background >= 0) background_ = screen::storedColour(background);
    used_[foreground_] = true;
    used_[background_] = true;
  }

  void clearScreen() {
    for (auto& row : cells_) row.fill(blank());
    belowGrid_ = background_;
    row_ = column_ = 0;
    pendingWrap_ = false;
  }

  int locate(int row, int column) {
    if ((row != 0 && (row < 1 || row > GridRows)) ||
        (column != 0 && (column < 1 || column > GridColumns)))
      return 1;
    pendingWrap_ = false;
    if (row != 0) row_ = row - 1;
    if (column != 0) column_ = column - 1;
    return 0;
  }

  void printText(std::string_view text, bool newLine) {
    output(text);
    if (newLine) output("\r\n");
  }

  void settlePendingWrap() {
    if (!pendingWrap_) return;
    pendingWrap_ = false;
    scroll(1);
    column_ = 0;
  }

  // Row and column counted from 1, as cursorPosition gives them.
  std::pair<int, int> cursor() const {
    if (pendingWrap_) return {GridRows, GridColumns};
    return {static_cast<int>(row_) + 1, column_ + 1};
  }

  void render(std::uint16_t* page) const {
    for (int r = 0; r < GridRows; ++r)
      for (int c = 0; c < GridColumns; ++c) fuzz::renderCell(page, r, c, cells_[r][c]);
    std::fill(page + GridRows * screen::CellHeight * screen::ScreenWidth,
              page + screen::ScreenWidth * screen::ScreenHeight, belowGrid_);
  }

  bool used(std::uint16_t colour) const { return used_[colour]; }
  std::uint16_t belowGrid() const { return belowGrid_; }

 private:
  ModelCell blank() const { return ModelCell{' ', background_, background_}; }

  void output(std::string_view bytes) {
    if (bytes.empty()) return;
    if (pendingWrap_) settlePendingWrap();
    bool lastDrawn = false;
    for (const char c : bytes) {
      const auto b = static_cast<std::uint8_t>(c);
      if (b == 7) continue;  // a beep: nothing drawn, nothing moves
      lastDrawn = false;
      if (b == 8) {
        if (column_ > 0) --column_;
      } else if (b == 10) {
        ++row_;
        column_ = 0;
      } else if (b == 13) {
        column_ = 0;
      } else if (b == 9) {
        for (int n = 8 - column_ % 8; n > 0; --n) draw(' ');
        lastDrawn = true;
      } else {
        draw(b);
        lastDrawn = true;
      }
    }
    if (row_ >= GridRows) {
      if (lastDrawn) {
        pendingWrap_ = true;
        row_ = GridRows - 1;
        column_ = GridColumns - 1;
      } else {
        scroll(row_ - (GridRows - 1));
      }
    }
  }

  void draw(std::uint8_t glyph) {
    if (row_ >= GridRows) scroll(row_ - (GridRows - 1));
    cells_[row_][column_] = ModelCell{glyph, foreground_, background_};
    if (++column_ == GridColumns) {
      column_ = 0;
      ++row_;
    }
  }

  // The grid moves up by rows; the freed rows at the bottom take the background.
  void scroll(long long rows) {
    const int n = static_cast<int>(std::min<long long>(rows, GridRows));
    for (int r = 0; r < GridRows; ++r) cells_[r] = r + n < GridRows ? cells_[r + n] : Row{};
    for (int r = GridRows - n; r < GridRows; ++r) cells_[r].fill(blank());
    row_ = GridRows - 1;
  }

  using Row = std::array<ModelCell, GridColumns>;
  std::array<Row, GridRows> cells_{};
  std::uint16_t foreground_ = 0xFFFF;
  std::uint16_t background_ = 0;
  std::uint16_t belowGrid_ = 0;
  long long row_ = 0;  // past the last row only inside an output, before its scroll
  int column_ = 0;
  bool pendingWrap_ = false;
  std::array<bool, 65536> used_{};
};

void checkCursor(const GridModel& model, const char* after) {
  const screen::CellPosition at = screen::cursorPosition();
  FUZZ_CHECK(at.row >= 1 && at.row <= GridRows && at.column >= 1 && at.column <= GridColumns,
             "cursor (%d, %d) outside the grid after %s", at.row, at.column, after);
  const auto [row, column] = model.cursor();
  FUZZ_CHECK(at.row == row && at.column == column, "cursor (%d, %d), expected (%d, %d) after %s",
             at.row, at.column, row, column, after);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::openHeadlessScreen();
  fuzz::Input in(data, size);
  GridModel model;

  screen::resetTextState();
  const screen::ColourValue foreground = in.colour24();
  const screen::ColourValue background = in.colour24();
  screen::setColours(foreground, background);
  model.setColours(foreground, background);
  screen::clearScreen();
  model.clearScreen();
  checkCursor(model, "clearScreen");

  int clearsLeft = 2;
  while (!in.empty()) {
    const std::uint8_t op = in.byte();
    switch (op % 8) {
      case 0:
      case 1:
      case 2: {  // text of up to 255 bytes, with or without a line end
        const std::size_t length = std::min<std::size_t>(in.byte(), in.left());
        const std::string_view text(in.take(length), length);
        const bool newLine = (op & 8) != 0;
        screen::printText(text, newLine);
        model.printText(text, newLine);
        checkCursor(model, "printText");
        break;
      }
      case 3: {  // any two values: negative ones keep a colour
        const screen::ColourValue fg = (op & 8) ? in.int32() : in.colour24();
        const screen::ColourValue bg = (op & 16) ? in.int32() : in.colour24();
        screen::setColours(fg, bg);
        model.setColours(fg, bg);
        break;
      }
      case 4:
      case 5: {  // positions in and around the grid, 0 keeping a coordinate
        const int row = static_cast<std::int8_t>(in.byte());
        const int column = static_cast<std::int8_t>(in.byte());
        const int status = screen::locate(row, column);
        FUZZ_CHECK(status == model.locate(row, column), "locate(%d, %d) gave %d", row, column,
                   status);
        checkCursor(model, "locate");
        break;
      }
      case 6:
        screen::settlePendingWrap();
        model.settlePendingWrap();
        checkCursor(model, "settlePendingWrap");
        break;
      case 7:
        // Clearing paints the whole page, which costs as much as all the other steps
        // together: twice an input at most.
        if ((op & 8) && clearsLeft > 0) {
          --clearsLeft;
          screen::clearScreen();
          model.clearScreen();
          checkCursor(model, "clearScreen");
        }
        break;
    }
  }

  static std::vector<std::uint16_t> page(screen::ScreenWidth * screen::ScreenHeight);
  static std::vector<std::uint16_t> expected(page.size());
  fuzz::copyWorkPage(page);
  model.render(expected.data());
  const int gridLines = GridRows * screen::CellHeight;
  for (int i = 0; i < gridLines * screen::ScreenWidth; ++i)
    FUZZ_CHECK(model.used(page[i]), "pixel (%d, %d) has colour %04x, which no step set",
               i % screen::ScreenWidth, i / screen::ScreenWidth, page[i]);
  for (int i = gridLines * screen::ScreenWidth; i < screen::ScreenWidth * screen::ScreenHeight; ++i)
    FUZZ_CHECK(page[i] == model.belowGrid(), "pixel (%d, %d) below the grid changed to %04x",
               i % screen::ScreenWidth, i / screen::ScreenWidth, page[i]);
  const int line =
      fuzz::firstDifferentLine(page.data(), expected.data(), 0, screen::ScreenHeight - 1);
  FUZZ_CHECK(line < 0, "pixel line %d (row %d) differs from the cells the steps drew", line,
             line / screen::CellHeight + 1);
  return 0;
}
