#include <gtest/gtest.h>

#include "screen/display.h"
#include "screen/text.h"
#include "support/cell_reader.h"

namespace {

TEST(TextCells, PrintsInColours) {
  screen::openScreen();
  ASSERT_TRUE(screen::screenReady());
  screen::setColours(0xFFFFFF, 0x000044);
  screen::clearScreen();
  screen::locate(34, 1);
  screen::printText(" > OK.", true);
  const auto grid = support::CellGrid::fromPage(screen::shownPage());
  EXPECT_EQ(grid.text(34, 1, 6), " > OK.");
  EXPECT_EQ(grid.at(34, 2).foreground, 0xFFFF);
  EXPECT_EQ(grid.at(34, 2).background, 0x0008);
  EXPECT_EQ(screen::cursorPosition().row, 35);
  screen::closeScreen();
}

}  // namespace
