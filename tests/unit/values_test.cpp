// How numbers are written and read: the integer, real and decimal texts, the reading of
// a typed count, and printed numbers as they appear in the cells.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "screen/display.h"
#include "screen/text.h"
#include "screen/values.h"
#include "support/cell_reader.h"

namespace {

constexpr std::int32_t Int32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t Int32Min = std::numeric_limits<std::int32_t>::min();

TEST(ValueText, IntegerFormatHasASpaceOrAMinusInFront) {
  const std::pair<std::int32_t, const char*> cases[] = {
      {0, " 0"},   {7, " 7"},    {-5, "-5"}, {2147483647, " 2147483647"}, {Int32Min, "-2147483648"},
      {10, " 10"}, {-10, "-10"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(screen::integerText(value), text) << value;
}

TEST(ValueText, DecimalTextHasNoSpace) {
  const std::pair<std::int32_t, const char*> cases[] = {
      {0, "0"}, {5, "5"}, {9, "9"}, {10, "10"}, {-3, "-3"}, {Int32Min, "-2147483648"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(screen::decimalText(value), text) << value;
  // The labels of the listing: "0" in front of the numbers below 10.
  EXPECT_EQ("0" + screen::decimalText(9), "09");
}

TEST(ValueText, RealFormatHasAtMostFifteenSignificantDigits) {
  const std::pair<double, const char*> cases[] = {
      {0, " 0"},
      {3, " 3"},
      {100, " 100"},
      {0.5, " 0.5"},
      {0.1, " 0.1"},
      {-0.25, "-0.25"},
      {-1234.5, "-1234.5"},
      {12.3456789012345678, " 12.3456789012346"},
      {1.0 / 3, " 0.333333333333333"},
      {123456789012345, " 123456789012345"},
      {0.0123456789, " 1.23456789e-002"},
      {1234567890123456, " 1.23456789012346e+015"},
      // Whole seconds and sub-0.1 second timings, as the summary writes them.
      {12, " 12"},
      {0.05, " 5e-002"},
      {-0.0123, "-1.23e-002"},
      // Scientific notation with no fraction digit left writes no ".".
      {0.001, " 1e-003"},
      {1e15, " 1e+015"},
      {1e-100, " 1e-100"},
      {1.5e300, " 1.5e+300"},
      // The notation follows the value rounded to 15 digits.
      {999999999999999.9, " 1e+015"},
      {99999999999999.99, " 100000000000000"},
      {0.09999999999999999, " 0.1"},
      {0.009999999999999999, " 1e-002"},
      {9.999999999999999, " 10"},
      {-0.0, " 0"},
  };
  for (const auto& [value, text] : cases)
    EXPECT_EQ(screen::realText(value), text) << std::hexfloat << value;
}

TEST(ValueText, TypedCountReadsTheFirstItem) {
  const std::pair<std::string, std::int32_t> cases[] = {
      {"10", 10},
      {"   12   ", 12},
      {"0049", 49},
      {"+8", 8},
      {"-5", -5},
      {"7,9", 7},
      {"7 9", 7},
      {"7\t9", 7},
      {",5", 0},
      {"12abc", 12},
      {"3.9", 3},
      {"1e3", 1},
      {"&h10", 0},
      {"- 5", 0},
      {"abc", 0},
      {"", 0},
      {"     ", 0},
      {"\t\r\n 42", 42},
      {"12\r\n", 12},
      {"000000000049", 4},  // only the first 11 characters are read
      // Quoted stretches: the quotes are not part of the item.
      {"\"15\"", 15},
      {"\"  15\"", 15},
      {"\"  -7\"", -7},
      {"\"1\"2", 12},  // collecting goes on after the closing quote
      {"1\"2", 1},     // a quote after the first character is an ordinary character
      {"\"1,5\"", 1},  // the comma belongs to the item, and ends the digits
      {"\"12 3\",4", 12},
      {"\"000000000049\"", 4},  // 11 digits, the opening quote not counted
      // Beyond 32 bits the nearest 32-bit value.
      {"2147483647", Int32Max},
      {"2147483648", Int32Max},
      {"99999999999", Int32Max},
      {"-2147483648", Int32Min},
      {"-99999999999", Int32Min},
  };
  for (const auto& [line, value] : cases)
    EXPECT_EQ(screen::parseInteger(line), value) << '"' << line << '"';
}

// The printing forms go through the text cells of an open display.
class PrintedValues : public testing::Test {
 protected:
  void SetUp() override {
    screen::openScreen();
    ASSERT_TRUE(screen::screenReady());
    screen::setColours(0xFFFFFF, 0x000000);
    screen::clearScreen();
    screen::setColours(0xFFFFFF, 0x0000AA);  // what was written shows on blue
  }
  void TearDown() override { screen::closeScreen(); }

  static std::pair<int, int> cursor() {
    const screen::CellPosition at = screen::cursorPosition();
    return {at.row, at.column};
  }
};

TEST_F(PrintedValues, IntegerWritesItsCellsAndStopsAfterTheLastDigit) {
  screen::locate(10, 10);
  screen::printInteger(7, false);
  EXPECT_EQ(cursor(), std::make_pair(10, 12));
  screen::locate(11, 10);
  screen::printInteger(-7, true);
  EXPECT_EQ(cursor(), std::make_pair(12, 1));

  const auto grid = support::CellGrid::fromPage(screen::shownPage());
  EXPECT_EQ(grid.text(10, 10, 3), " 7 ");
  EXPECT_EQ(grid.at(10, 10).background, 0x0015);
  EXPECT_EQ(grid.at(10, 11).background, 0x0015);
  EXPECT_EQ(grid.at(10, 12).background, 0x0000);  // no trailing space written
  EXPECT_EQ(grid.text(11, 10, 3), "-7 ");
  EXPECT_EQ(grid.at(11, 12).background, 0x0000);
}

TEST_F(PrintedValues, RealWritesItsText) {
  screen::locate(35, 1);
  screen::printReal(-1234.5, false);
  screen::printReal(0.0123456789, true);
  EXPECT_EQ(cursor(), std::make_pair(36, 1));
  const auto grid = support::CellGrid::fromPage(screen::shownPage());
  EXPECT_EQ(grid.text(35, 1, 23), "-1234.5 1.23456789e-002");
  EXPECT_EQ(grid.at(35, 23).background, 0x0015);
  EXPECT_EQ(grid.at(35, 24).background, 0x0000);
}

}  // namespace
