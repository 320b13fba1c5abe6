// Fuzzes readLine with random key streams. Each line's keys (at most 14 and the Enter that
// ends it, so that all of them fit in the key queue before readLine starts and it never
// has to wait) are edited by readLine and, here, by a model of the editing rules: insert
// at the edit position, Backspace, Delete, Escape, Left, Right, Home, End, Up and Down by
// a row of 100, Tab to the next multiple of 8, every other code ignored. The line
// returned must be the model's text, and the cursor must stay inside the grid. When the
// whole edit stayed on the screen without scrolling, the page must also be exactly the
// page before it with the line's cells showing the text (then spaces where it was longer)
// in the colours in force, and the cursor must stand just after the text.
//
// Input: start row, start column, then lines: colour byte, key count byte, keys. A key
// byte below 16 picks an editing key, any other is that character code.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "screen/display.h"
#include "screen/keyboard.h"
#include "screen/text.h"

namespace {

using screen::GridColumns;
using screen::GridRows;
using screen::KeyCode;

constexpr int MaxKeysPerLine = 14;  // and the Enter: 15, all the queue holds
constexpr KeyCode Enter = 13;

constexpr KeyCode EditingKeys[16] = {
    8,   // Backspace
    9,   // Tab
    27,  // Escape
    screen::KeyDelete,
    screen::KeyLeft,
    screen::KeyRight,
    screen::KeyHome,
    screen::KeyEnd,
    screen::KeyUp,
    screen::KeyDown,
    screen::KeyClose,           // ignored while typing
    screen::extendedKey(0x3B),  // F1: ignored
    screen::extendedKey(0x52),  // Insert: ignored
    1,                          // Ctrl+A: ignored
    screen::extendedKey(0x49),  // Page Up: ignored
    screen::extendedKey(0x73),  // Ctrl+Left: ignored
};

KeyCode keyOf(std::uint8_t byte) {
  return byte < 16 ? EditingKeys[byte] : KeyCode{byte};
}

// The line as the editing rules make it, and the longest it grew.
struct LineModel {
  std::string text;
  std::size_t position = 0;
  std::size_t longest = 0;

  void insert(const std::string& added) {
    text.insert(position, added);
    position += added.size();
    longest = std::max(longest, text.size());
  }

  void act(KeyCode code) {
    const std::size_t width = GridColumns;
    switch (code) {
      case 8:
        if (position > 0) text.erase(--position, 1);
        break;
      case screen::KeyDelete:
        if (position < text.size()) text.erase(position, 1);
        break;
      case 27:
        text.clear();
        position = 0;
        break;
      case screen::KeyLeft:
        if (position > 0) --position;
        break;
      case screen::KeyRight:
        if (position < text.size()) ++position;
        break;
      case screen::KeyHome:
        position = 0;
        break;
      case screen::KeyEnd:
        position = text.size();
        break;
      case screen::KeyUp:
        if (position >= width) position -= width;
        break;
      case screen::KeyDown:
        if (position + width <= text.size()) position += width;
        break;
      case 9:
        insert(std::string(8 - position % 8, ' '));
        break;
      default:
        if (code >= 32 && code <= 255) insert(std::string(1, static_cast<char>(code)));
    }
  }
};

int cellIndex(screen::CellPosition at) {
  return (at.row - 1) * GridColumns + (at.column - 1);
}

void checkInsideGrid(const char* when) {
  const screen::CellPosition at = screen::cursorPosition();
  FUZZ_CHECK(at.row >= 1 && at.row <= GridRows && at.column >= 1 && at.column <= GridColumns,
             "cursor (%d, %d) outside the grid %s", at.row, at.column, when);
}

void pushKeys(const std::vector<KeyCode>& keys) {
  screen::lockDisplay();
  for (const KeyCode key : keys) screen::pushKey(key);
  screen::unlockDisplay();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::openHeadlessScreen();
  fuzz::Input in(data, size);
  while (!screen::pollKey().empty()) {
  }
  screen::resetTextState();
  screen::setColours(0xFFFFFF, 0x000044);
  screen::clearScreen();
  const std::uint16_t belowGrid = screen::storedColour(0x000044);

  // A start anywhere on the grid; a start byte with its top bit set first fills the last
  // cell, so that readLine begins by settling the pending wrap.
  const std::uint8_t startRow = in.byte();
  const std::uint8_t startColumn = in.byte();
  if (startRow & 0x80) {
    screen::locate(GridRows, GridColumns);
    screen::printText("#", false);
  }
  screen::locate(startRow % GridRows + 1, startColumn % GridColumns + 1);

  while (!in.empty()) {
    const std::uint8_t colours = in.byte();
    const std::uint32_t foreground = (colours & 7) * 0x242424u;
    const std::uint32_t background = ((colours >> 3) & 7) * 0x121212u + 0x000040u;
    screen::setColours(static_cast<screen::ColourValue>(foreground),
                       static_cast<screen::ColourValue>(background));
    const bool newLineAfter = (colours & 0x40) != 0;

    const int count = std::min<int>(in.byte() % (MaxKeysPerLine + 1), static_cast<int>(in.left()));
    std::vector<KeyCode> keys;
    LineModel model;
    for (int i = 0; i < count; ++i) {
      const std::uint8_t byte = in.byte();
      if (byte == 10 || byte == 13) continue;  // a line end here would end the line early
      keys.push_back(keyOf(byte));
      model.act(keys.back());
    }
    keys.push_back(Enter);

    // readLine begins by settling a pending wrap, which scrolls; settle it first here so
    // that the page it starts from is known. Its own settling then finds nothing to do.
    screen::settlePendingWrap();
    static std::vector<std::uint16_t> startPage, page, expected;
    fuzz::copyWorkPage(startPage);
    const int start = cellIndex(screen::cursorPosition());

    pushKeys(keys);
    const screen::Text line = screen::readLine("", false, newLineAfter);
    checkInsideGrid("after readLine");
    FUZZ_CHECK(!screen::keyWaiting(), "readLine left keys in the queue");
    FUZZ_CHECK(line == model.text, "readLine returned %zu bytes \"%s\", the edits make \"%s\"",
               line.size(), line.c_str(), model.text.c_str());

    fuzz::copyWorkPage(page);
    for (int i = GridRows * screen::CellHeight * screen::ScreenWidth;
         i < static_cast<int>(page.size()); ++i)
      FUZZ_CHECK(page[i] == belowGrid, "pixel line %d below the grid changed",
                 i / screen::ScreenWidth);

    // With no scroll, the screen shows the line where it was typed and nothing else moved.
    // The printing reaches cell start + longest - 1 at most; the line end after it scrolls
    // only from the last row.
    const int lastCell = GridRows * GridColumns - 1;
    const int end = start + static_cast<int>(model.text.size());
    if (start + static_cast<int>(model.longest) > lastCell) continue;
    if (newLineAfter && end / GridColumns == GridRows - 1) continue;
    expected = startPage;
    const std::uint16_t fg = screen::storedColour(static_cast<screen::ColourValue>(foreground));
    const std::uint16_t bg = screen::storedColour(static_cast<screen::ColourValue>(background));
    for (std::size_t i = 0; i < model.longest; ++i) {
      const int cell = start + static_cast<int>(i);
      const auto glyph = static_cast<std::uint8_t>(i < model.text.size() ? model.text[i] : ' ');
      fuzz::renderCell(expected.data(), cell / GridColumns, cell % GridColumns,
                       fuzz::ModelCell{glyph, fg, bg});
    }
    const int differs =
        fuzz::firstDifferentLine(page.data(), expected.data(), 0, screen::ScreenHeight - 1);
    FUZZ_CHECK(differs < 0, "pixel line %d (row %d) is not the edited line", differs,
               differs / screen::CellHeight + 1);
    const int expectedEnd = newLineAfter ? (end / GridColumns + 1) * GridColumns : end;
    const int at = cellIndex(screen::cursorPosition());
    FUZZ_CHECK(at == expectedEnd, "the cursor ends at cell %d, expected %d (start %d)", at,
               expectedEnd, start);
  }
  return 0;
}
