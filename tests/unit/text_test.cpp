// The text cells as a person sees them: every test draws through the text screen and
// reads the page back into characters and colours.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "screen/display.h"
#include "screen/headless_platform.h"
#include "screen/text.h"
#include "support/cell_reader.h"

namespace {

using screen::HeadlessPlatform;
using support::CellGrid;

// A row as the reader gives it: the text, then blank cells up to column 100.
std::string line(std::string text) {
  text.resize(100, ' ');
  return text;
}

// A platform whose screen takes no pixels: the display thread then copies nothing, so
// the changed-line flags stay exactly as the drawing operations left them.
class FlagKeepingPlatform : public HeadlessPlatform {
 public:
  using HeadlessPlatform::HeadlessPlatform;
  screen::Surface surface() override { return {}; }
};

class TextCells : public testing::Test {
 protected:
  void SetUp() override {
    screen::usePlatform([p = probe] { return std::make_unique<HeadlessPlatform>(p); });
    screen::openScreen();
    ASSERT_TRUE(screen::screenReady());
    screen::setColours(0xFFFFFF, 0x000000);
    screen::clearScreen();
  }
  void TearDown() override {
    screen::closeScreen();
    screen::usePlatform(nullptr);
  }

  static CellGrid page() { return CellGrid::fromPage(screen::shownPage()); }
  static std::pair<int, int> cursor() {
    const screen::CellPosition at = screen::cursorPosition();
    return {at.row, at.column};
  }
  // Writes "r1" to "r37" at the start of the rows, so that a scroll shows where each went.
  static void labelRows() {
    for (int row = 1; row <= 37; ++row) {
      screen::locate(row, 1);
      screen::printText("r" + std::to_string(row), false);
    }
  }

  std::shared_ptr<HeadlessPlatform::Probe> probe = std::make_shared<HeadlessPlatform::Probe>();
};

TEST_F(TextCells, PrintsInColours) {
  screen::setColours(0xFFFFFF, 0x000044);
  screen::clearScreen();
  screen::locate(34, 1);
  screen::printText(" > OK.", true);
  const CellGrid grid = page();
  EXPECT_EQ(grid.rowText(34), line(" > OK."));
  EXPECT_EQ(grid.at(34, 2).foreground, 0xFFFF);
  EXPECT_EQ(grid.at(34, 2).background, 0x0008);
  EXPECT_EQ(grid.at(34, 7).background, 0x0008);  // the cleared background around it
  EXPECT_EQ(cursor(), std::make_pair(35, 1));
}

struct ByteCase {
  const char* what;
  std::string before;  // printed from row 5, column 1 first
  int row, column;     // then the cursor is placed here (0, 0: left where `before` ended)
  std::string text;
  std::string row5, row6;  // what rows 5 and 6 read afterwards
  int endRow, endColumn;
  int beeps;
};

TEST_F(TextCells, EachByteActsByItsRule) {
  const std::string xs(100, 'x');
  const ByteCase cases[] = {
      {"a bell sounds and draws nothing", "", 5, 1, "A\aB", "AB", "", 5, 3, 1},
      {"bells alone move nothing", "", 5, 7, "\a\a", "", "", 5, 7, 2},
      {"backspace moves left and erases nothing", "", 5, 1, "AB\bC", "AC", "", 5, 3, 0},
      {"backspace stops at column 1", "", 5, 1, "A\b\b\bB", "B", "", 5, 2, 0},
      {"backspace never goes back to the previous row", xs, 0, 0, "\bY", xs, "Y", 6, 2, 0},
      {"tab from column 1 writes 8 spaces", "ABCDEFGHIJ", 5, 1, "\t", "        IJ", "", 5, 9, 0},
      {"tab from column 4 reaches column 9", "ABCDEFGHIJ", 5, 4, "\t", "ABC     IJ", "", 5, 9, 0},
      {"tab at column 9 reaches column 17", "", 5, 9, "\tZ", "                Z", "", 5, 18, 0},
      {"tab at column 97 runs 4 spaces into the next row", xs + "yyyyyy", 5, 97, "\t",
       xs.substr(0, 96), "    yy", 6, 5, 0},
      {"tab at column 100 writes 5 spaces", xs + "yyyyyy", 5, 100, "\t", xs.substr(0, 99), "    yy",
       6, 5, 0},
      {"line feed goes to column 1 of the next row", "", 5, 3, "A\nB", "  A", "B", 6, 2, 0},
      {"carriage return goes to column 1 of the same row", "", 5, 1, "ABC\rX", "XBC", "", 5, 2, 0},
      {"other control bytes draw their shapes", "", 5, 1, "\x01\x02\x0B\x0C\x1B\x7F",
       "\x01\x02\x0B\x0C\x1B\x7F", "", 5, 7, 0},
      {"bytes above 127 draw code page 437 shapes", "", 5, 1, "\x80\xA4\xB3\xC9",
       "\x80\xA4\xB3\xC9", "", 5, 5, 0},
      {"byte 0 is a character, not the end of the text", "", 5, 1, std::string("A\0B", 3), "A B",
       "", 5, 4, 0},
  };
  for (const ByteCase& c : cases) {
    SCOPED_TRACE(c.what);
    screen::clearScreen();
    const int beepsBefore = probe->beeps;
    screen::locate(5, 1);
    screen::printText(c.before, false);
    if (c.row != 0) screen::locate(c.row, c.column);
    screen::printText(c.text, false);
    const CellGrid grid = page();
    EXPECT_EQ(grid.rowText(5), line(c.row5));
    EXPECT_EQ(grid.rowText(6), line(c.row6));
    EXPECT_EQ(cursor(), std::make_pair(c.endRow, c.endColumn));
    EXPECT_EQ(probe->beeps - beepsBefore, c.beeps);
  }
}

TEST_F(TextCells, BlankAndFullBlockPaintTheWholeCell) {
  screen::setColours(0xFFFF00, 0x0000AA);
  screen::locate(5, 1);
  screen::printText(std::string("\0\xDB", 2), false);
  const CellGrid grid = page();
  // A cell of one colour reads as a blank in that colour.
  EXPECT_EQ(grid.at(5, 1).character, ' ');
  EXPECT_EQ(grid.at(5, 1).foreground, 0x0015);
  EXPECT_EQ(grid.at(5, 1).background, 0x0015);
  EXPECT_EQ(grid.at(5, 2).character, ' ');
  EXPECT_EQ(grid.at(5, 2).foreground, 0xFFE0);
  EXPECT_EQ(grid.at(5, 2).background, 0xFFE0);
  EXPECT_EQ(grid.at(5, 3).background, 0x0000);
  EXPECT_EQ(cursor(), std::make_pair(5, 3));
}

TEST_F(TextCells, HundredCharactersWrapToColumnOneOfTheNextRow) {
  screen::locate(33, 1);
  screen::printText(std::string(100, '-'), false);
  EXPECT_EQ(page().rowText(33), std::string(100, '-'));
  EXPECT_EQ(page().rowText(34), line(""));
  EXPECT_EQ(cursor(), std::make_pair(34, 1));
  EXPECT_EQ(screen::locate(4, 0), 0);
  EXPECT_EQ(cursor(), std::make_pair(4, 1));
}

TEST_F(TextCells, LineEndAfterAFullRowSkipsTheRowBelow) {
  screen::locate(3, 1);
  screen::printText("keep", false);
  screen::locate(2, 1);
  screen::printText(std::string(100, '='), true);
  EXPECT_EQ(page().rowText(2), std::string(100, '='));
  EXPECT_EQ(page().rowText(3), line("keep"));
  EXPECT_EQ(cursor(), std::make_pair(4, 1));
}

struct PendingCase {
  const char* what;
  void (*between)();  // what happens between filling row 37 and printing "b"
  std::pair<int, int> cursorBetween;
  bool scrolled;      // whether the grid moved up before "b"
  int bRow, bColumn;  // where "b" lands
  std::pair<int, int> cursorAfter;
  int beeps;
};

TEST_F(TextCells, FillingRow37LeavesTheWrapPending) {
  const PendingCase cases[] = {
      {"nothing", [] {}, {37, 100}, true, 37, 1, {37, 2}, 0},
      {"an empty text keeps it",
       [] { screen::printText("", false); },
       {37, 100},
       true,
       37,
       1,
       {37, 2},
       0},
      {"a refused locate keeps it",
       [] { EXPECT_EQ(screen::locate(38, 1), 1); },
       {37, 100},
       true,
       37,
       1,
       {37, 2},
       0},
      {"locate(4, 0) cancels it and keeps column 100",
       [] { screen::locate(4, 0); },
       {4, 100},
       false,
       4,
       100,
       {5, 1},
       0},
      {"locate(0, 0) only cancels it",
       [] { EXPECT_EQ(screen::locate(0, 0), 0); },
       {37, 100},
       false,
       37,
       100,
       {37, 100},
       0},
      {"settlePendingWrap makes the line advance",
       [] { screen::settlePendingWrap(); },
       {37, 1},
       true,
       37,
       1,
       {37, 2},
       0},
      {"a bell alone settles it",
       [] { screen::printText("\a", false); },
       {37, 1},
       true,
       37,
       1,
       {37, 2},
       1},
  };
  const std::string as(100, 'a');
  for (const PendingCase& c : cases) {
    SCOPED_TRACE(c.what);
    screen::clearScreen();
    labelRows();
    screen::locate(37, 1);
    screen::printText(as, false);
    // The last cell is filled but nothing has scrolled yet.
    EXPECT_EQ(cursor(), std::make_pair(37, 100));
    EXPECT_EQ(page().rowText(36), line("r36"));
    EXPECT_EQ(page().rowText(37), as);

    const int beepsBefore = probe->beeps;
    c.between();
    EXPECT_EQ(cursor(), c.cursorBetween);
    screen::printText("b", false);
    const CellGrid grid = page();
    if (c.scrolled) {
      EXPECT_EQ(grid.rowText(1), line("r2"));
      EXPECT_EQ(grid.rowText(36), as);
    } else {
      EXPECT_EQ(grid.rowText(1), line("r1"));
      EXPECT_EQ(grid.rowText(36), line("r36"));
      EXPECT_EQ(grid.text(37, 1, 99), as.substr(0, 99));
    }
    EXPECT_EQ(grid.at(c.bRow, c.bColumn).character, 'b');
    EXPECT_EQ(cursor(), c.cursorAfter);
    EXPECT_EQ(probe->beeps - beepsBefore, c.beeps);
  }
}

TEST_F(TextCells, ABellAfterTheLastCellLeavesTheWrapPending) {
  labelRows();
  screen::locate(37, 1);
  screen::printText(std::string(100, 'a') + "\a", false);
  EXPECT_EQ(cursor(), std::make_pair(37, 100));
  EXPECT_EQ(page().rowText(36), line("r36"));
  EXPECT_EQ(probe->beeps, 1);
}

TEST_F(TextCells, FullLastRowWithLineEndScrollsTwice) {
  labelRows();
  screen::locate(37, 1);
  screen::printText(std::string(100, 'a'), true);
  const CellGrid grid = page();
  EXPECT_EQ(grid.rowText(1), line("r3"));
  EXPECT_EQ(grid.rowText(34), line("r36"));
  EXPECT_EQ(grid.rowText(35), std::string(100, 'a'));
  EXPECT_EQ(grid.rowText(36), line(""));
  EXPECT_EQ(grid.rowText(37), line(""));
  EXPECT_EQ(cursor(), std::make_pair(37, 1));
}

TEST_F(TextCells, LineEndOnTheLastRowScrollsAtOnceAndSparesTheLinesBelowTheGrid) {
  screen::setColours(0xFFFFFF, 0x00FF00);
  screen::clearScreen();
  labelRows();
  screen::setColours(-1, 0x0000AA);
  screen::locate(37, 5);
  screen::printText("", true);
  const CellGrid grid = page();
  for (int row = 1; row <= 36; ++row) {
    EXPECT_EQ(grid.rowText(row), line("r" + std::to_string(row + 1))) << "row " << row;
    EXPECT_EQ(grid.at(row, 50).background, 0x07E0) << "row " << row;
  }
  EXPECT_EQ(grid.rowText(37), line(""));
  for (int column = 1; column <= 100; ++column)
    ASSERT_EQ(grid.at(37, column).background, 0x0015) << "column " << column;
  EXPECT_EQ(cursor(), std::make_pair(37, 1));

  // The 8 pixel lines below row 37 kept the colour of the last clearing...
  const std::uint16_t* pixels = screen::shownPage();
  for (int i = 592 * 800; i < 600 * 800; ++i) ASSERT_EQ(pixels[i], 0x07E0) << "pixel " << i;
  // ...and only clearing paints them.
  screen::clearScreen();
  for (int i = 592 * 800; i < 600 * 800; ++i) ASSERT_EQ(pixels[i], 0x0015) << "pixel " << i;
}

TEST_F(TextCells, LongTextScrollsAsManyRowsAsItNeeds) {
  std::string text;
  for (int k = 0; k < 45; ++k) text += std::string(100, static_cast<char>('A' + k));
  screen::printText(text, false);
  const CellGrid grid = page();
  // 45 full rows from row 1: the first 8 scrolled away and the last one waits to wrap.
  for (int row = 1; row <= 37; ++row)
    EXPECT_EQ(grid.rowText(row), std::string(100, static_cast<char>('A' + 7 + row))) << row;
  EXPECT_EQ(cursor(), std::make_pair(37, 100));
}

TEST_F(TextCells, MoreLineEndsThanRowsLeaveOnlyTheBackground) {
  labelRows();
  screen::setColours(-1, 0x0000AA);
  screen::locate(1, 1);
  screen::printText(std::string(80, '\n') + "Z", false);
  const CellGrid grid = page();
  for (int row = 1; row <= 36; ++row) {
    EXPECT_EQ(grid.rowText(row), line("")) << row;
    EXPECT_EQ(grid.at(row, 1).background, 0x0015) << row;
  }
  EXPECT_EQ(grid.rowText(37), line("Z"));
  EXPECT_EQ(cursor(), std::make_pair(37, 2));
}

TEST_F(TextCells, TabBelowTheLastRowScrollsBeforeItsNextSpace) {
  labelRows();
  screen::setColours(-1, 0x0000AA);
  screen::locate(37, 97);
  screen::printText("\t", false);
  const CellGrid grid = page();
  EXPECT_EQ(grid.rowText(35), line("r36"));
  EXPECT_EQ(grid.rowText(36), line("r37"));
  EXPECT_EQ(grid.at(36, 96).background, 0x0000);
  EXPECT_EQ(grid.at(36, 97).background, 0x0015);
  EXPECT_EQ(grid.at(36, 100).background, 0x0015);
  EXPECT_EQ(grid.rowText(1), line("r2"));
  EXPECT_EQ(cursor(), std::make_pair(37, 5));
}

TEST_F(TextCells, LocateRefusesPositionsOffTheGrid) {
  struct LocateCase {
    int row, column, status;
    std::pair<int, int> cursorAfter;
  };
  const LocateCase cases[] = {
      {38, 1, 1, {10, 20}},  {1, 101, 1, {10, 20}}, {-1, 1, 1, {10, 20}},    {1, -5, 1, {10, 20}},
      {0, 101, 1, {10, 20}}, {38, 0, 1, {10, 20}},  {37, 100, 0, {37, 100}}, {1, 1, 0, {1, 1}},
      {0, 5, 0, {10, 5}},    {5, 0, 0, {5, 20}},    {0, 0, 0, {10, 20}},
  };
  for (const LocateCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "locate(" << c.row << ", " << c.column << ")");
    screen::locate(10, 20);
    EXPECT_EQ(screen::locate(c.row, c.column), c.status);
    EXPECT_EQ(cursor(), c.cursorAfter);
  }
  EXPECT_EQ(screen::gridSize().column, 100);
  EXPECT_EQ(screen::gridSize().row, 37);
}

TEST_F(TextCells, ColourValuesAreStoredWithTheirLowBitsCut) {
  const std::pair<screen::ColourValue, std::uint16_t> cases[] = {
      {0x000044, 0x0008}, {0xAAEEAA, 0xAF75}, {0xFFFFFF, 0xFFFF}, {0x00FF00, 0x07E0},
      {0x0000AA, 0x0015}, {0x00FD88, 0x07F1}, {0x003788, 0x01B1}, {0x7F000044, 0x0008},
  };
  for (const auto& [value, stored] : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << value);
    screen::locate(5, 1);
    screen::setColours(value, 0x000000);
    screen::printText("A", false);
    screen::setColours(0x000000, value);
    screen::printText("A ", false);
    const CellGrid grid = page();
    EXPECT_EQ(grid.at(5, 1).character, 'A');
    EXPECT_EQ(grid.at(5, 1).foreground, stored);
    EXPECT_EQ(grid.at(5, 1).background, 0x0000);
    EXPECT_EQ(grid.at(5, 2).character, 'A');
    EXPECT_EQ(grid.at(5, 2).foreground, 0x0000);
    EXPECT_EQ(grid.at(5, 2).background, stored);
    // A space is its whole cell in the background.
    EXPECT_EQ(grid.at(5, 3).foreground, stored);
    EXPECT_EQ(grid.at(5, 3).background, stored);
  }
}

TEST_F(TextCells, NegativeColoursKeepAndHighBitsAreIgnored) {
  struct ColourCase {
    screen::ColourValue foreground, background;
    std::uint16_t shownForeground, shownBackground;
  };
  const ColourCase cases[] = {
      {0x7F000000, 0x01000044, 0x0000, 0x0008},  // black on 0x0008
      {0xFFFF00, 0x0000AA, 0xFFE0, 0x0015},
      {-1, -1, 0xFFE0, 0x0015},  // both kept
      {-2, 0, 0xFFE0, 0x0000},   // the foreground kept, a black background
      {0x00FF00, -1, 0x07E0, 0x0000},
  };
  int column = 1;
  for (const ColourCase& c : cases) {
    screen::setColours(c.foreground, c.background);
    screen::printText("A", false);
    const support::Cell cell = page().at(1, column++);
    EXPECT_EQ(cell.character, 'A');
    EXPECT_EQ(cell.foreground, c.shownForeground) << std::hex << c.foreground;
    EXPECT_EQ(cell.background, c.shownBackground) << std::hex << c.background;
  }
}

TEST_F(TextCells, GradientBarShowsFiftyOneColours) {
  screen::locate(3, 1);
  for (int i = 1; i <= 100; ++i) {
    screen::setColours(0x0000AA, (255 - 2 * i) << 8 | 0x88);
    screen::printText(" ", false);
  }
  EXPECT_EQ(cursor(), std::make_pair(4, 1));
  const CellGrid grid = page();
  std::set<std::uint16_t> colours;
  for (int column = 1; column <= 100; ++column) {
    const support::Cell& cell = grid.at(3, column);
    EXPECT_EQ(cell.character, ' ');
    EXPECT_EQ(cell.foreground, cell.background) << "column " << column;
    colours.insert(cell.background);
  }
  EXPECT_EQ(colours.size(), 51u);
  EXPECT_EQ(grid.at(3, 1).background, 0x07F1);
  EXPECT_EQ(grid.at(3, 2).background, 0x07D1);
  EXPECT_EQ(grid.at(3, 100).background, 0x01B1);
  for (int column = 2; column < 100; column += 2)
    EXPECT_EQ(grid.at(3, column).background, grid.at(3, column + 1).background) << column;
  for (int column = 1; column < 100; column += 2)
    EXPECT_NE(grid.at(3, column).background, grid.at(3, column + 1).background) << column;
}

TEST_F(TextCells, EmptyTextChangesNothingButItsLineEnd) {
  labelRows();
  screen::locate(10, 20);
  const std::vector<std::uint16_t> before(screen::shownPage(), screen::shownPage() + 800 * 600);
  screen::printText("", false);
  EXPECT_EQ(cursor(), std::make_pair(10, 20));
  screen::printText("", true);
  EXPECT_EQ(cursor(), std::make_pair(11, 1));
  screen::settlePendingWrap();  // nothing pending: nothing happens
  EXPECT_EQ(cursor(), std::make_pair(11, 1));
  const std::vector<std::uint16_t> after(screen::shownPage(), screen::shownPage() + 800 * 600);
  EXPECT_TRUE(before == after);
}

TEST_F(TextCells, DrawingFlagsTheLinesItWrote) {
  screen::closeScreen();
  screen::usePlatform([p = probe] { return std::make_unique<FlagKeepingPlatform>(p); });
  screen::openScreen();
  ASSERT_TRUE(screen::screenReady());
  auto flagged = [] {
    std::vector<int> lines;
    for (int y = 0; y < 600; ++y)
      if (screen::lineChanged(y)) lines.push_back(y);
    return lines;
  };
  auto range = [](int first, int last) {
    std::vector<int> lines;
    for (int y = first; y <= last; ++y) lines.push_back(y);
    return lines;
  };
  EXPECT_EQ(flagged(), range(0, -1));

  screen::locate(3, 5);
  screen::printText("AB", false);
  screen::printText("", true);  // a line end above the last row writes nothing
  EXPECT_EQ(flagged(), range(32, 47));

  screen::locate(37, 1);
  screen::printText(std::string(100, 'a'), false);  // the last row, not scrolled yet
  std::vector<int> expected = range(32, 47);
  const std::vector<int> row37 = range(576, 591);
  expected.insert(expected.end(), row37.begin(), row37.end());
  EXPECT_EQ(flagged(), expected);

  screen::settlePendingWrap();  // a scroll: the whole grid, not the lines below it
  EXPECT_EQ(flagged(), range(0, 591));

  screen::clearScreen();
  EXPECT_EQ(flagged(), range(0, 599));
}

TEST_F(TextCells, WithNoDisplayTextGoesToStandardOutput) {
  screen::closeScreen();
  ASSERT_FALSE(screen::screenReady());
  testing::internal::CaptureStdout();
  screen::printText("Error setting video mode!", true);
  screen::printText(std::string("a\0\xDB", 3), false);
  screen::printText("", true);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Error setting video mode!\r\n" + std::string("a\0\xDB", 3) + "\r\n");
}

}  // namespace
