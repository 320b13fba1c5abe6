#include "screen/text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "screen/display.h"
#include "screen/glyphs.h"

namespace screen {
namespace {

constexpr int GridLines = GridRows * CellHeight;  // pixel lines 0 to 591 hold the rows
constexpr std::uint64_t UnknownCell = ~std::uint64_t{0};
// The bytes 7, 8, 9, 10 and 13, which act instead of being drawn, as bits.
constexpr std::uint32_t ControlBytes = 1 << 7 | 1 << 8 | 1 << 9 | 1 << 10 | 1 << 13;

// Eight 5-6-5 pixels, one glyph row of a cell, as one 16-byte vector.
using PixelRow = std::uint16_t __attribute__((vector_size(16)));

// RowMasks[bits] has 0xFFFF in each pixel whose bit is set in a glyph row.
struct RowMaskTable {
  alignas(16) std::uint16_t masks[256][GlyphWidth];
  constexpr RowMaskTable() : masks() {
    for (int bits = 0; bits < 256; ++bits)
      for (int x = 0; x < GlyphWidth; ++x) masks[bits][x] = (bits & (0x80 >> x)) ? 0xFFFF : 0;
  }
};
constexpr RowMaskTable RowMasks;

// The text state of the open display. Only the program's thread touches it, so it needs
// no lock; the display thread reads nothing but the page.
struct TextState {
  std::uint16_t foreground = 0xFFFF;
  std::uint16_t background = 0x0000;
  int column = 0;  // 0 to 99
  int row = 0;     // 0 to 36; past 36 only inside an output, before its scroll
  bool pendingWrap = false;
  // What each cell of the page shows, as glyph | foreground << 8 | background << 24. A cell
  // asked to show what it already shows is not painted again: the pixels would not change.
  std::uint64_t shows[GridRows][GridColumns];
};
TextState state;

std::uint64_t cellKey(std::uint8_t glyph, std::uint16_t foreground, std::uint16_t background) {
  return glyph | std::uint64_t{foreground} << 8 | std::uint64_t{background} << 24;
}

// One drawing output. The display lock is taken at the first write into the page, so an
// output that changes no pixel (a line end, or text the cells already show) costs no lock;
// the lines written are named when the output ends.
class Output {
 public:
  Output() = default;
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;
  ~Output() {
    if (locked_) unlockDisplay(firstLine_, lastLine_);
  }
  std::uint16_t* write(int firstLine, int lastLine) {
    if (!locked_) {
      lockDisplay();
      locked_ = true;
    }
    firstLine_ = std::min(firstLine_, firstLine);
    lastLine_ = std::max(lastLine_, lastLine);
    return workPage();
  }

 private:
  bool locked_ = false;
  int firstLine_ = ScreenHeight;
  int lastLine_ = -1;
};

// Paints the whole cell: glyph bits in the foreground, the rest in the background.
void paintCell(std::uint16_t* page, int row, int column, std::uint8_t glyph,
               std::uint16_t foreground, std::uint16_t background) {
  const PixelRow back = PixelRow{} + background;
  const PixelRow diff = PixelRow{} + static_cast<std::uint16_t>(foreground ^ background);
  std::uint16_t* target = page + row * CellHeight * ScreenWidth + column * CellWidth;
  const std::uint8_t* bits = Glyphs[glyph];
#pragma GCC unroll 16
  for (int y = 0; y < CellHeight; ++y) {
    PixelRow mask;
    std::memcpy(&mask, RowMasks.masks[bits[y]], sizeof mask);
    const PixelRow pixels = back ^ (mask & diff);
    std::memcpy(target + y * ScreenWidth, &pixels, sizeof pixels);
  }
}

void fillLines(std::uint16_t* page, int firstLine, int lineCount, std::uint16_t colour) {
  std::fill_n(page + firstLine * ScreenWidth, lineCount * ScreenWidth, colour);
}

// Moves the grid up by rows (at least 1) and paints the freed rows in the background.
void scroll(Output& out, int rows) {
  rows = std::min(rows, GridRows);
  std::uint16_t* page = out.write(0, GridLines - 1);
  const int kept = GridRows - rows;
  std::memmove(page, page + rows * CellHeight * ScreenWidth,
               sizeof(std::uint16_t) * kept * CellHeight * ScreenWidth);
  fillLines(page, kept * CellHeight, rows * CellHeight, state.background);
  std::memmove(state.shows, state.shows[rows], sizeof state.shows[0] * kept);
  std::fill(&state.shows[kept][0], &state.shows[GridRows - 1][GridColumns - 1] + 1,
            cellKey(' ', state.foreground, state.background));
}

void drawCharacter(Output& out, std::uint8_t glyph) {
  if (state.row >= GridRows) {
    scroll(out, state.row - (GridRows - 1));
    state.row = GridRows - 1;
  }
  const std::uint64_t key = cellKey(glyph, state.foreground, state.background);
  std::uint64_t& shown = state.shows[state.row][state.column];
  if (shown != key) {
    const int top = state.row * CellHeight;
    paintCell(out.write(top, top + CellHeight - 1), state.row, state.column, glyph,
              state.foreground, state.background);
    shown = key;
  }
  if (++state.column == GridColumns) {
    state.column = 0;
    ++state.row;
  }
}

void output(std::string_view bytes) {
  if (bytes.empty()) return;
  Output out;
  if (state.pendingWrap) {
    state.pendingWrap = false;
    scroll(out, 1);
    state.column = 0;
  }
  bool lastDrawn = false;  // whether the last byte other than 7 drew into a cell
  for (const char byte : bytes) {
    switch (static_cast<std::uint8_t>(byte)) {
      case 7:
        soundBeep();
        break;
      case 8:
        if (state.column > 0) --state.column;
        lastDrawn = false;
        break;
      case 9:
        for (int spaces = 8 - state.column % 8; spaces > 0; --spaces) drawCharacter(out, ' ');
        lastDrawn = true;
        break;
      case 10:
        // Rows past twice the grid scroll it no further than a whole grid does.
        if (state.row < 2 * GridRows) ++state.row;
        state.column = 0;
        lastDrawn = false;
        break;
      case 13:
        state.column = 0;
        lastDrawn = false;
        break;
      default:
        drawCharacter(out, static_cast<std::uint8_t>(byte));
        lastDrawn = true;
    }
  }
  if (state.row >= GridRows) {
    if (lastDrawn) {
      // The last cell of the grid was filled: its line advance waits for the next output.
      state.pendingWrap = true;
      state.column = GridColumns - 1;
    } else {
      scroll(out, state.row - (GridRows - 1));
    }
    state.row = GridRows - 1;
  }
}

// Whether the text can be drawn by drawInRow: characters only, all on the cursor's row.
bool fitsInRow(std::string_view text) {
  if (state.pendingWrap || text.size() > static_cast<std::size_t>(GridColumns - state.column))
    return false;
  for (const char byte : text) {
    const auto b = static_cast<std::uint8_t>(byte);
    if (b < 14 && ((ControlBytes >> b) & 1) != 0) return false;
  }
  return true;
}

// The common case of output, the labels of the listing among them: characters that end
// on the cursor's row. Only the cells that change are painted, under one lock. It does
// by hand what drawCharacter and Output do, with the colours' key made once: going
// through them costs the listing about an eighth of its time.
void drawInRow(std::string_view text) {
  std::uint16_t* page = nullptr;
  std::uint64_t* shows = state.shows[state.row];
  const std::uint64_t colours = cellKey(0, state.foreground, state.background);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto glyph = static_cast<std::uint8_t>(text[i]);
    const std::uint64_t key = colours | glyph;
    const int column = state.column + static_cast<int>(i);
    if (shows[column] == key) continue;
    if (page == nullptr) {
      lockDisplay();
      page = workPage();
    }
    paintCell(page, state.row, column, glyph, state.foreground, state.background);
    shows[column] = key;
  }
  if (page != nullptr)
    unlockDisplay(state.row * CellHeight, state.row * CellHeight + CellHeight - 1);
  state.column += static_cast<int>(text.size());
  if (state.column == GridColumns) {
    if (state.row == GridRows - 1) {
      state.pendingWrap = true;  // the last cell of the grid: its line advance waits
      state.column = GridColumns - 1;
    } else {
      state.column = 0;
      ++state.row;
    }
  }
}

// A line end: 13 then 10. Above the last row and with no wrap pending, it only moves the
// cursor; otherwise the full rules apply (a scroll, or a pending wrap settled first).
void lineEnd() {
  if (!state.pendingWrap && state.row < GridRows - 1) {
    state.column = 0;
    ++state.row;
  } else {
    output("\r\n");
  }
}

}  // namespace

void resetTextState() {
  state.foreground = 0xFFFF;
  state.background = 0x0000;
  state.column = 0;
  state.row = 0;
  state.pendingWrap = false;
  std::fill(&state.shows[0][0], &state.shows[0][0] + GridRows * GridColumns, UnknownCell);
}

void setColours(ColourValue foreground, ColourValue background) {
  if (foreground >= 0) state.foreground = storedColour(foreground);
  if (background >= 0) state.background = storedColour(background);
}

void clearScreen() {
  if (!screenReady()) return;
  lockDisplay();
  fillLines(workPage(), 0, ScreenHeight, state.background);
  unlockDisplay(0, ScreenHeight - 1);
  std::fill(&state.shows[0][0], &state.shows[0][0] + GridRows * GridColumns,
            cellKey(' ', state.foreground, state.background));
  state.pendingWrap = false;
  state.row = 0;
  state.column = 0;
}

int locate(int row, int column) {
  if ((row != 0 && (row < 1 || row > GridRows)) ||
      (column != 0 && (column < 1 || column > GridColumns)))
    return 1;
  state.pendingWrap = false;
  if (row != 0) state.row = row - 1;
  if (column != 0) state.column = column - 1;
  return 0;
}

void printText(std::string_view text, bool newLine) {
  if (!screenReady()) {
    // No display: the bytes go to standard output as they are; a failed write is dropped.
    std::fwrite(text.data(), 1, text.size(), stdout);
    if (newLine) std::fwrite("\r\n", 1, 2, stdout);
    return;
  }
  if (fitsInRow(text)) {
    drawInRow(text);
  } else {
    output(text);
  }
  if (newLine) lineEnd();
}

CellPosition cursorPosition() {
  return CellPosition{state.row + 1, state.column + 1};
}

CellPosition gridSize() {
  return CellPosition{GridRows, GridColumns};
}

void settlePendingWrap() {
  if (!state.pendingWrap) return;
  Output out;
  state.pendingWrap = false;
  scroll(out, 1);
  state.column = 0;
}

}  // namespace screen
