// The display as a person sees it on different screens: which form the program takes,
// where the picture stands, the frame it draws, Alt+Enter, the close button, the end of a
// run by a signal, and the message when there is no display at all.
#include <csignal>

#include "e2e/program_test.h"
#include "lister/lister.h"

namespace e2e {
namespace {

using support::CellGrid;

// The colour of bar cell i (1 to 100).
std::uint32_t barColour(int i) {
  return static_cast<std::uint32_t>(255 - 2 * i) << 8 | 0x88;
}

struct ScreenCase {
  const char* geometry;  // Xvfb's screen: width x height x depth
  int depth;
  bool fullScreen;  // the form the program takes there
  int left, top;    // where the picture's top-left corner stands on the screen
};

void PrintTo(const ScreenCase& c, std::ostream* out) {
  *out << c.geometry;
}

class ScreenForms : public ProgramTest, public ::testing::WithParamInterface<ScreenCase> {};

// Full screen wherever an 800-wide mode of 600, 768 or 1024 lines exists, at 16 bits, 15
// bits or the desktop's own depth, with the picture centred vertically in a taller mode;
// elsewhere an 800 x 600 window centred on the desktop.
TEST_P(ScreenForms, PictureStandsWhereTheFormPutsIt) {
  const ScreenCase& screen = GetParam();
  ASSERT_TRUE(startServer(screen.geometry));
  ASSERT_TRUE(startProgram());
  const std::optional<CellGrid> grid = waitForFrame(screen.left, screen.top, screen.depth);
  ASSERT_TRUE(grid) << "no frame at " << screen.left << "," << screen.top;

  const std::optional<WindowInfo> window = waitForWindow();
  ASSERT_TRUE(window);
  const int screenHeight = server->screenHeight();
  if (screen.fullScreen) {
    EXPECT_EQ(window->x, 0);
    EXPECT_EQ(window->y, 0);
    EXPECT_EQ(window->width, 800);
    EXPECT_EQ(window->height, screenHeight);
    EXPECT_FALSE(window->fixedSize);
    // Lines above and below the picture of a taller mode stay black.
    const Screenshot shot = server->screenshot();
    if (screen.top > 0) {
      EXPECT_TRUE(shot.linesBlack(0, screen.top - 1));
      EXPECT_TRUE(shot.linesBlack(screen.top + 600, screenHeight - 1));
    }
  } else {
    EXPECT_EQ(window->x, (server->screenWidth() - 800) / 2);
    EXPECT_EQ(window->y, (screenHeight - 600) / 2);
    EXPECT_EQ(window->width, 800);
    EXPECT_EQ(window->height, 600);
    EXPECT_TRUE(window->fixedSize);
  }
  // Over the picture the pointer is the standard arrow.
  ASSERT_TRUE(server->xdotool(
      {"mousemove", std::to_string(screen.left + 400), std::to_string(screen.top + 300)}));
  EXPECT_TRUE(waitUntil([&] { return server->pointerShape() == "left_ptr"; }))
      << "pointer: " << server->pointerShape();
  EXPECT_EQ(grid->at(2, 1).foreground, shown565(lister::BannerForeground, screen.depth));
  EXPECT_EQ(grid->at(3, 1).background, shown565(barColour(1), screen.depth));
  EXPECT_EQ(grid->at(4, 63).foreground, shown565(lister::White, screen.depth));
}

INSTANTIATE_TEST_SUITE_P(Screens, ScreenForms,
                         ::testing::Values(ScreenCase{"800x600x16", 16, true, 0, 0},
                                           ScreenCase{"800x600x15", 15, true, 0, 0},
                                           ScreenCase{"800x600x24", 24, true, 0, 0},
                                           ScreenCase{"800x768x16", 16, true, 0, 84},
                                           ScreenCase{"800x1024x16", 16, true, 0, 212},
                                           ScreenCase{"1024x768x24", 24, false, 112, 84}),
                         [](const auto& info) {
                           std::string name = info.param.geometry;
                           for (char& c : name)
                             if (c == 'x') c = '_';
                           return "Screen_" + name;
                         });

// On a 24-bit screen every component shows the page's bits in its high bits, the low
// bits zero: white is 0xF8FCF8.
TEST_F(ProgramTest, TrueColourScreenShowsTheSixteenBitColours) {
  ASSERT_TRUE(startServer("800x600x24"));
  ASSERT_TRUE(startProgram());
  ASSERT_TRUE(waitForFrame(0, 0, 24));
  const Screenshot shot = server->screenshot();
  // Pixel positions: cell (row, column) starts at ((column - 1) * 8, (row - 1) * 16).
  EXPECT_EQ(shot.at(0, 0), 0x000040u);                 // background, row 1
  EXPECT_EQ(shot.at(0, 32), 0x00FC88u);                // bar cell 1, row 3
  EXPECT_EQ(shot.at(99 * 8 + 7, 32 + 15), 0x003488u);  // bar cell 100
  std::uint32_t banner = 0, white = 0;
  for (int y = 16; y < 32; ++y)  // row 2, cell 1 holds an asterisk
    for (int x = 0; x < 8; ++x)
      if (shot.at(x, y) != 0x000040u) banner = shot.at(x, y);
  for (int y = 48; y < 64; ++y)  // row 4, column 63 holds the 'h' of the web address
    for (int x = 62 * 8; x < 63 * 8; ++x)
      if (shot.at(x, y) != 0x000040u) white = shot.at(x, y);
  EXPECT_EQ(banner, 0xA8ECA8u);
  EXPECT_EQ(white, 0xF8FCF8u);
}

// The frame: banner on row 2, bars on rows 3, 5 and 33, the web address at the end of
// row 4, rows 1 and 37 empty.
TEST_F(ProgramTest, FrameShowsBannerBarsAndWebAddress) {
  ASSERT_TRUE(startServer("800x600x16"));
  ASSERT_TRUE(startProgram());
  const std::optional<CellGrid> grid = waitForFrame(0, 0, 16);
  ASSERT_TRUE(grid);
  const std::uint16_t background = support::to565(lister::ScreenBackground);
  const std::string blank(100, ' ');

  EXPECT_EQ(grid->rowText(2), lister::Banner);
  for (int column = 1; column <= 100; ++column) {
    EXPECT_EQ(grid->at(2, column).background, background) << "column " << column;
    if (grid->at(2, column).character != ' ') {
      EXPECT_EQ(grid->at(2, column).foreground, support::to565(lister::BannerForeground));
    }
  }
  for (const int row : {3, 5, 33}) {
    EXPECT_EQ(grid->rowText(row), blank) << "row " << row;
    for (int i = 1; i <= 100; ++i)
      EXPECT_EQ(grid->at(row, i).background, support::to565(barColour(i)))
          << "row " << row << " cell " << i;
  }
  EXPECT_EQ(grid->text(4, 63, 36), lister::WebAddress);
  EXPECT_EQ(grid->at(4, 63).foreground, support::to565(lister::White));
  EXPECT_EQ(grid->at(4, 99).character, ' ');
  for (const int row : {1, 37}) {
    EXPECT_EQ(grid->rowText(row), blank) << "row " << row;
    for (int column = 1; column <= 100; ++column)
      EXPECT_EQ(grid->at(row, column).background, background) << "row " << row;
  }
}

// No display at all: one message line on standard output, status 0, nothing else.
TEST(NoDisplay, WritesTheMessageAndEndsWithStatusZero) {
  std::vector<std::string> env;
  for (const std::string& entry : cleanEnvironment())
    if (entry.rfind("XDG_RUNTIME_DIR=", 0) != 0) env.push_back(entry);  // no Wayland socket
  std::optional<Process> program = Process::start({COMBINACIONES_PROGRAM}, env);
  ASSERT_TRUE(program);
  EXPECT_EQ(program->waitForExit(WaitTimeout), 0);
  EXPECT_EQ(program->output(), "Error setting video mode!\r\n");
}

// A screen SDL has no window surface for (8-bit palette, 10 bits a component) cannot show
// the picture in either form: the same message, status 0, and no window left behind.
TEST_F(ProgramTest, ScreenWithoutAUsableSurfaceGivesTheMessage) {
  for (const char* geometry : {"800x600x8", "800x600x30"}) {
    ASSERT_TRUE(startServer(geometry));
    ASSERT_TRUE(startProgram());
    EXPECT_EQ(program->waitForExit(WaitTimeout), 0) << geometry;
    EXPECT_EQ(program->output(), "Error setting video mode!\r\n") << geometry;
    EXPECT_FALSE(server->findWindow(ProgramTitle)) << geometry;
  }
}

// Alt+Enter switches between full screen and window, again and again, each time with the
// whole picture and with what was typed so far. On an 800 x 768 screen the two forms
// differ: full screen covers it all, the window stands centred with a fixed size.
TEST_F(ProgramTest, AltEnterSwitchesFormsBackAndForth) {
  ASSERT_TRUE(startServer("800x768x16"));
  ASSERT_TRUE(startProgram());
  ASSERT_TRUE(waitForFrame(0, 84, 16));
  const auto fullScreen = [](const WindowInfo& w) { return w.height == 768 && !w.fixedSize; };
  const auto windowed = [](const WindowInfo& w) {
    return w.height == 600 && w.y == 84 && w.fixedSize;
  };
  std::optional<WindowInfo> window = waitForWindow(fullScreen);
  ASSERT_TRUE(window);
  ASSERT_TRUE(server->type("12"));
  const std::string typed = std::string(lister::Prompt) + "12";
  ASSERT_TRUE(waitUntil([&] { return cells(0, 84).text(4, 1, 59) == typed; }));

  for (int round = 0; round < 3; ++round) {
    for (const bool toWindow : {true, false}) {
      const unsigned long before = window->id;
      ASSERT_TRUE(server->key("alt+Return"));
      window = waitForWindow([&](const WindowInfo& w) {
        return w.id != before && (toWindow ? windowed(w) : fullScreen(w));
      });
      ASSERT_TRUE(window) << "round " << round << (toWindow ? ": no window" : ": no full screen");
      const std::optional<CellGrid> grid = waitForFrame(0, 84, 16);
      ASSERT_TRUE(grid) << "round " << round << ": picture incomplete";
      EXPECT_EQ(grid->text(4, 1, 59), typed);
    }
  }
}

// The close button asks, but the window stays and the run goes on: the prompt still takes
// typing afterwards.
TEST_F(ProgramTest, CloseButtonDoesNotCloseTheWindow) {
  ASSERT_TRUE(startServer("1024x768x24"));
  ASSERT_TRUE(startProgram());
  ASSERT_TRUE(waitForFrame(112, 84, 24));
  const std::optional<WindowInfo> window = waitForWindow();
  ASSERT_TRUE(window);
  server->requestClose(window->id);
  ASSERT_TRUE(server->type("9"));
  const std::string typed = std::string(lister::Prompt) + "9";
  EXPECT_TRUE(waitUntil([&] { return cells(112, 84).text(4, 1, 58) == typed; }));
  const std::optional<WindowInfo> after = server->findWindow(ProgramTitle);
  ASSERT_TRUE(after);
  EXPECT_EQ(after->id, window->id);
  EXPECT_TRUE(program->running());
}

// SIGTERM ends the run from wherever it is: the window is gone and the status is 128 + 15.
TEST_F(ProgramTest, SigtermEndsTheRunAndTakesTheWindowDown) {
  ASSERT_TRUE(startServer("800x600x16"));
  ASSERT_TRUE(startProgram());
  ASSERT_TRUE(waitForFrame(0, 0, 16));
  EXPECT_EQ(terminateProgram(), 128 + SIGTERM);
  EXPECT_FALSE(server->findWindow(ProgramTitle));
  EXPECT_EQ(program->output(), "");
}

}  // namespace
}  // namespace e2e
