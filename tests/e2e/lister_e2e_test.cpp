// Whole runs of the program as a person makes them: type n, watch the listing, read the
// summary, end the run with a key, the space bar or the window's close button. Every
// check reads the screen back from screenshots of a private X server.
//
// With COMBINACIONES_SCREENSHOT_DIR set, the run of n = 7 also saves its finished screen
// there as run7.png (the picture in the README).
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <regex>

#include "e2e/program_test.h"
#include "lister/lister.h"

namespace e2e {
namespace {

using support::CellGrid;
using namespace std::chrono_literals;

// The colour of bar cell i (1 to 100).
std::uint32_t barColour(int i) {
  return static_cast<std::uint32_t>(255 - 2 * i) << 8 | 0x88;
}

// What the screen should show, cell by cell: character, foreground and background.
class ExpectedScreen {
 public:
  struct Cell {
    char character = ' ';
    std::uint32_t foreground = lister::ScreenBackground;
    std::uint32_t background = lister::ScreenBackground;
  };

  void write(int row, int column, std::string_view text, std::uint32_t foreground) {
    for (const char c : text)
      cells_[index(row, column++)] = {c, foreground, lister::ScreenBackground};
  }
  void bar(int row) {
    for (int i = 1; i <= 100; ++i)
      cells_[index(row, i)] = {' ', lister::BarForeground, barColour(i)};
  }

  std::string rowText(int row) const {
    std::string text;
    for (int column = 1; column <= 100; ++column) text += cells_[index(row, column)].character;
    return text;
  }
  const Cell& at(int row, int column) const { return cells_[index(row, column)]; }

 private:
  static std::size_t index(int row, int column) {
    return static_cast<std::size_t>((row - 1) * 100 + column - 1);
  }
  std::vector<Cell> cells_ = std::vector<Cell>(37 * 100);
};

// Every row's characters, then its colours: at most one colour failure per row, naming
// the first cell that differs. A space shows only its background, so its foreground
// cannot be seen and is not checked.
void expectScreen(const CellGrid& grid, const ExpectedScreen& expected) {
  for (int row = 1; row <= 37; ++row) {
    EXPECT_EQ(grid.rowText(row), expected.rowText(row)) << "row " << row;
    for (int column = 1; column <= 100; ++column) {
      const ExpectedScreen::Cell& want = expected.at(row, column);
      const support::Cell& seen = grid.at(row, column);
      const std::uint16_t background = support::to565(want.background);
      const std::uint16_t foreground =
          want.character == ' ' ? background : support::to565(want.foreground);
      if (seen.background != background || seen.foreground != foreground) {
        ADD_FAILURE() << "row " << row << " column " << column << ": colours " << std::hex
                      << seen.foreground << " on " << seen.background << ", expected " << foreground
                      << " on " << background;
        break;
      }
    }
  }
}

// The elapsed time on row 36 in the program's real format: plain notation from 0.1
// upward, scientific notation with a three-digit exponent below; at most 15 significant
// digits, no trailing zero in the fraction.
struct TimeLine {
  std::string number;  // as shown, with its leading space
  double seconds = 0;
};

std::optional<TimeLine> readTimeLine(const CellGrid& grid) {
  static const std::regex line(
      R"(^ > TIEMPO INVERTIDO:( ((0|[1-9]\d*)(\.\d*[1-9])?|[1-9](\.\d*[1-9])?e[+-]\d{3})) segundos\. *$)");
  std::smatch match;
  const std::string row = grid.rowText(36);
  if (!std::regex_match(row, match, line)) return std::nullopt;
  TimeLine time{match[1].str(), std::strtod(match[1].str().c_str(), nullptr)};
  // Significant digits: those of the mantissa from its first non-zero one.
  const std::string mantissa = match[2].str().substr(0, match[2].str().find('e'));
  int digits = 0;
  for (const char c : mantissa) digits += (c >= '1' && c <= '9') || (c == '0' && digits > 0);
  const bool scientific = match[2].str().find('e') != std::string::npos;
  if (digits > 15 || scientific != (time.seconds < 0.1)) return std::nullopt;
  return time;
}

std::string gridText(const CellGrid& grid) {
  std::string text;
  for (int row = lister::FirstGridRow; row <= lister::LastGridRow; ++row) text += grid.rowText(row);
  return text;
}

// Whether all 162 places of the grid show an entry: twelve digits and a space.
bool gridFull(const CellGrid& grid) {
  static const std::regex entry(R"(\d{12} )");
  for (int row = lister::FirstGridRow; row <= lister::LastGridRow; ++row)
    for (int column = lister::FirstGridColumn; column <= 100; column += lister::GridPitch)
      if (!std::regex_match(grid.text(row, column, 13), entry)) return false;
  return true;
}

bool summaryEmpty(const CellGrid& grid) {
  const std::string blank(100, ' ');
  return grid.rowText(34) == blank && grid.rowText(35) == blank && grid.rowText(36) == blank;
}

// Writes the 800 x 600 picture at (left, top) of the shot as a PNG, through ImageMagick.
bool savePng(const Screenshot& shot, int left, int top, const std::string& path) {
  const std::string raw = path + ".ppm";
  {
    std::ofstream out(raw, std::ios::binary);
    out << "P6\n800 600\n255\n";
    for (int y = top; y < top + 600; ++y)
      for (int x = left; x < left + 800; ++x) {
        const std::uint32_t p = shot.at(x, y);
        const char rgb[3] = {static_cast<char>(p >> 16), static_cast<char>(p >> 8),
                             static_cast<char>(p)};
        out.write(rgb, 3);
      }
    if (!out) return false;
  }
  const CommandResult converted = runCommand({"convert", raw, "png:" + path}, cleanEnvironment());
  unlink(raw.c_str());
  return converted.status == 0;
}

class ListerRun : public ProgramTest {
 protected:
  // An 800 x 600 x 24 screen (full screen, the picture at 0,0) with the program at its
  // prompt.
  bool startAtPrompt() {
    if (!startServer("800x600x24") || !startProgram()) return false;
    const bool prompt =
        waitForFrame(0, 0, 24) && waitUntil([&] {
          const CellGrid grid = cells(0, 0);
          return grid.text(4, 1, 57) == lister::Prompt && grid.at(4, 58).character == ' ';
        });
    EXPECT_TRUE(prompt) << "no prompt";
    window = waitForWindow();
    EXPECT_TRUE(window);
    return prompt && window;
  }

  // Types n and waits for its green echo, then presses Enter.
  bool enterCount(const std::string& n) {
    const std::string echoed = std::string(lister::Prompt) + n;
    const bool typed = server->type(n) && waitUntil([&] {
                         return cells(0, 0).text(4, 1, static_cast<int>(echoed.size())) == echoed;
                       });
    EXPECT_TRUE(typed) << "no echo of " << n;
    return typed && server->key("Return");
  }

  // The screen once the summary's last line is complete.
  std::optional<CellGrid> waitForSummary() {
    std::optional<CellGrid> grid;
    const bool shown = waitUntil([&] {
      grid = cells(0, 0);
      return readTimeLine(*grid).has_value();
    });
    return shown ? grid : std::nullopt;
  }

  // The grid full of entries, then changing: the listing is running.
  std::optional<CellGrid> waitForListing() {
    std::optional<CellGrid> grid;
    if (!waitUntil([&] {
          grid = cells(0, 0);
          return gridFull(*grid);
        }))
      return std::nullopt;
    const std::string before = gridText(*grid);
    if (!waitUntil([&] {
          grid = cells(0, 0);
          return gridText(*grid) != before;
        }))
      return std::nullopt;
    return grid;
  }

  // The program ends with status 0 within `timeout` and its window goes.
  void expectEndsWithStatusZero(Milliseconds timeout) {
    EXPECT_EQ(program->waitForExit(timeout), 0);
    EXPECT_TRUE(waitUntil([&] { return !server->findWindow(ProgramTitle); }, 1000ms))
        << "the window stays";
    EXPECT_EQ(program->output(), "");
  }

  std::optional<WindowInfo> window;
};

// The typical run: 7 and Enter, seven entries, the summary, a key, the end. Every row of
// the finished screen is checked, characters and colours.
TEST_F(ListerRun, SevenElementsShowTheWholeScreenThenAnyKeyEnds) {
  ASSERT_TRUE(startAtPrompt());
  ASSERT_TRUE(enterCount("7"));
  const std::optional<CellGrid> grid = waitForSummary();
  ASSERT_TRUE(grid) << "no summary; row 36 reads \"" << cells(0, 0).rowText(36) << "\"";

  const std::optional<TimeLine> time = readTimeLine(*grid);
  ASSERT_TRUE(time);
  EXPECT_GT(time->seconds, 0.0);
  EXPECT_LT(time->seconds, 1.0);  // seven entries and two lines of text

  ExpectedScreen expected;
  expected.write(2, 1, lister::Banner, lister::BannerForeground);
  expected.bar(3);
  expected.write(4, 1, lister::Prompt, lister::White);
  expected.write(4, 58, "7", lister::Green);
  expected.write(4, 63, lister::WebAddress, lister::White);
  expected.bar(5);
  const char* const entries[] = {"010203040506", "010203040507", "010203040607", "010203050607",
                                 "010204050607", "010304050607", "020304050607"};
  int row = lister::FirstGridRow;
  for (const std::string_view entry : entries) {
    for (int label = 0; label < 6; ++label)
      expected.write(row, lister::FirstGridColumn + 2 * label, entry.substr(2 * label, 2),
                     label % 2 == 0 ? lister::White : lister::Green);
    expected.write(row, lister::FirstGridColumn + 12, " ", lister::Green);
    ++row;
  }
  expected.bar(33);
  expected.write(34, 1, " > 7 COMBINACIONES POSIBLES DE 7 ELEMENTOS TOMADOS DE 6 EN 6    ",
                 lister::White);
  expected.write(35, 1, " > OK.", lister::White);
  expected.write(36, 1, " > TIEMPO INVERTIDO:" + time->number + " segundos.", lister::White);
  expectScreen(*grid, expected);

  if (const char* dir = std::getenv("COMBINACIONES_SCREENSHOT_DIR")) {
    EXPECT_TRUE(savePng(server->screenshot(), 0, 0, std::string(dir) + "/run7.png"));
  }

  EXPECT_TRUE(program->running());
  ASSERT_TRUE(server->key("x"));
  expectEndsWithStatusZero(WaitTimeout);
}

// The final wait takes any key, an extended one too.
TEST_F(ListerRun, FunctionKeyEndsTheFinalWait) {
  ASSERT_TRUE(startAtPrompt());
  ASSERT_TRUE(enterCount("6"));
  ASSERT_TRUE(waitForSummary());
  ASSERT_TRUE(server->key("F5"));
  expectEndsWithStatusZero(WaitTimeout);
}

// The space bar ends a long listing at once, with no summary.
TEST_F(ListerRun, SpaceBarEndsTheListingAtOnce) {
  ASSERT_TRUE(startAtPrompt());
  ASSERT_TRUE(enterCount("49"));
  const std::optional<CellGrid> running = waitForListing();
  ASSERT_TRUE(running) << "the listing does not run";
  ASSERT_TRUE(summaryEmpty(*running));

  const auto pressed = std::chrono::steady_clock::now();
  ASSERT_TRUE(server->key("space"));
  // Until the window goes, the summary never shows.
  while (program->running() && std::chrono::steady_clock::now() - pressed < 2s) {
    const CellGrid grid = cells(0, 0);
    if (!program->running() || !server->findWindow(ProgramTitle)) break;
    ASSERT_TRUE(summaryEmpty(grid)) << "row 34: " << grid.rowText(34);
  }
  expectEndsWithStatusZero(2000ms);
}

// During the listing the close button changes nothing: the listing goes on, the window
// stays, and the space bar still ends it.
TEST_F(ListerRun, CloseButtonDuringTheListingChangesNothing) {
  ASSERT_TRUE(startAtPrompt());
  ASSERT_TRUE(enterCount("49"));
  ASSERT_TRUE(waitForListing()) << "the listing does not run";

  server->requestClose(window->id);
  // Watch for a while: the grid keeps changing, the summary stays away, the program runs.
  const auto asked = std::chrono::steady_clock::now();
  std::string last;
  int changes = 0;
  while (std::chrono::steady_clock::now() - asked < 400ms) {
    const CellGrid grid = cells(0, 0);
    ASSERT_TRUE(program->running()) << "the close button ended the listing";
    ASSERT_TRUE(summaryEmpty(grid));
    const std::string text = gridText(grid);
    changes += text != last;
    last = text;
  }
  EXPECT_GE(changes, 3) << "the listing stopped";
  const std::optional<WindowInfo> after = server->findWindow(ProgramTitle);
  ASSERT_TRUE(after);
  EXPECT_EQ(after->id, window->id);

  ASSERT_TRUE(server->key("space"));
  expectEndsWithStatusZero(2000ms);
}

// At the prompt the close button is ignored and typing goes on as before; in the final
// wait it is a key like any other and ends the run.
TEST_F(ListerRun, CloseButtonIsIgnoredAtThePromptAndEndsTheFinalWait) {
  ASSERT_TRUE(startAtPrompt());
  server->requestClose(window->id);
  ASSERT_TRUE(enterCount("7"));
  const std::optional<CellGrid> grid = waitForSummary();
  ASSERT_TRUE(grid);
  // The close request added nothing to the typed line: n is 7.
  EXPECT_EQ(grid->text(34, 1, 64),
            " > 7 COMBINACIONES POSIBLES DE 7 ELEMENTOS TOMADOS DE 6 EN 6    ");
  EXPECT_EQ(grid->text(4, 1, 62), std::string(lister::Prompt) + "7    ");
  EXPECT_TRUE(program->running());

  const std::optional<WindowInfo> now = server->findWindow(ProgramTitle);
  ASSERT_TRUE(now);
  EXPECT_EQ(now->id, window->id);
  server->requestClose(now->id);
  expectEndsWithStatusZero(WaitTimeout);
}

}  // namespace
}  // namespace e2e

namespace e2e {
namespace {

// The display going away (the X server ends) during the listing ends the program at once,
// with a failure status and no abort.
TEST_F(ListerRun, LosingTheDisplayEndsTheRunCleanly) {
  ASSERT_TRUE(startAtPrompt());
  ASSERT_TRUE(enterCount("49"));
  ASSERT_TRUE(waitForListing());
  server.reset();
  EXPECT_EQ(program->waitForExit(5000ms), 1);
  EXPECT_EQ(program->errors().find("terminate"), std::string::npos) << program->errors();
}

}  // namespace
}  // namespace e2e
