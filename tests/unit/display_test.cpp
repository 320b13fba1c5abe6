// The display core on the headless platform: opening and closing, the forms and their
// fallbacks, the refresh passes that carry the page to the screen, the window events and
// the display lock.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "screen/display.h"
#include "screen/headless_platform.h"
#include "screen/keyboard.h"
#include "screen/pixels.h"
#include "screen/text.h"
#include "support/cell_reader.h"

namespace {

using namespace std::chrono_literals;
using screen::DisplayForm;
using screen::HeadlessPlatform;
using screen::WindowEventKind;
using support::CellGrid;

// 0xRRGGBB as an 8-bit-per-component screen shows a 5-6-5 pixel: each field in the high
// bits, the low bits zero.
std::uint32_t shownRgb(std::uint16_t p) {
  const std::uint32_t red = (p >> 11) & 0x1F, green = (p >> 5) & 0x3F, blue = p & 0x1F;
  return red << 3 << 16 | green << 2 << 8 | blue << 3;
}

class Display : public testing::Test {
 protected:
  void SetUp() override { usePlatformWith(probe); }
  void TearDown() override {
    screen::closeScreen();
    screen::usePlatform(nullptr);
  }

  static void usePlatformWith(std::shared_ptr<HeadlessPlatform::Probe> p) {
    screen::usePlatform([p] { return std::make_unique<HeadlessPlatform>(p); });
  }
  // Waits until the display thread has finished `count` more whole passes: a pass that
  // began before the call may have missed what the test did, the next one has not.
  static void waitForPasses(std::uint64_t count = 2) {
    const std::uint64_t start = screen::displayStats().passes;
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (screen::displayStats().passes < start + count) {
      ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the display thread stalled";
      std::this_thread::sleep_for(1ms);
    }
  }
  CellGrid shownPicture() const { return CellGrid::fromPicture(probe->picture(), 800); }
  void wipePicture() const {
    std::lock_guard guard(probe->mutex);
    std::fill(probe->screen.begin(), probe->screen.end(), 0x123456u);
  }
  static bool anyLineChanged() {
    for (int y = 0; y < 600; ++y)
      if (screen::lineChanged(y)) return true;
    return false;
  }
  static std::pair<int, int> cursor() {
    const screen::CellPosition at = screen::cursorPosition();
    return {at.row, at.column};
  }

  std::shared_ptr<HeadlessPlatform::Probe> probe = std::make_shared<HeadlessPlatform::Probe>();
};

TEST_F(Display, OpensBlackWithTheCursorHomeAndWhiteOnBlack) {
  EXPECT_FALSE(screen::screenReady());
  screen::closeScreen();  // none open: nothing happens
  EXPECT_FALSE(screen::screenReady());

  screen::openScreen();
  ASSERT_TRUE(screen::screenReady());
  EXPECT_TRUE(probe->formOpen);
  EXPECT_EQ(probe->form.load(), DisplayForm::FullScreen);
  const std::uint16_t* page = screen::shownPage();
  EXPECT_EQ(std::count(page, page + 800 * 600, 0), 800 * 600);
  EXPECT_EQ(cursor(), std::make_pair(1, 1));
  screen::printText("A", false);
  const CellGrid grid = CellGrid::fromPage(page);
  EXPECT_EQ(grid.at(1, 1).character, 'A');
  EXPECT_EQ(grid.at(1, 1).foreground, 0xFFFF);
  EXPECT_EQ(grid.at(1, 1).background, 0x0000);

  screen::closeScreen();
  EXPECT_FALSE(screen::screenReady());
  EXPECT_FALSE(probe->formOpen);
  screen::closeScreen();
  EXPECT_FALSE(screen::screenReady());
}

TEST_F(Display, OpeningWhileOpenClosesFirstAndStartsAfresh) {
  screen::openScreen();
  ASSERT_TRUE(screen::screenReady());
  screen::setColours(0x00FF00, 0x0000AA);
  screen::clearScreen();
  screen::locate(20, 30);
  screen::printText("viejo", false);

  auto second = std::make_shared<HeadlessPlatform::Probe>();
  usePlatformWith(second);
  screen::openScreen();
  ASSERT_TRUE(screen::screenReady());
  EXPECT_FALSE(probe->formOpen);  // the first display was taken down
  EXPECT_TRUE(second->formOpen);
  const std::uint16_t* page = screen::shownPage();
  EXPECT_EQ(std::count(page, page + 800 * 600, 0), 800 * 600);
  EXPECT_EQ(cursor(), std::make_pair(1, 1));
  screen::printText("A", false);
  const support::Cell cell = CellGrid::fromPage(page).at(1, 1);
  EXPECT_EQ(cell.character, 'A');
  EXPECT_EQ(cell.foreground, 0xFFFF);
  EXPECT_EQ(cell.background, 0x0000);
}

TEST_F(Display, FormsFallBackToEachOther) {
  struct FormCase {
    const char* what;
    bool fullScreen, failWindow, failFullScreen, failStart;
    bool ready;
    DisplayForm form;
  };
  const FormCase cases[] = {
      {"full screen", true, false, false, false, true, DisplayForm::FullScreen},
      {"full screen failing gives a window", true, false, true, false, true, DisplayForm::Window},
      {"a window", false, false, false, false, true, DisplayForm::Window},
      {"a window failing gives full screen", false, true, false, false, true,
       DisplayForm::FullScreen},
      {"both failing", true, true, true, false, false, DisplayForm::Window},
      {"no window system", true, false, false, true, false, DisplayForm::Window},
  };
  for (const FormCase& c : cases) {
    SCOPED_TRACE(c.what);
    auto p = std::make_shared<HeadlessPlatform::Probe>();
    p->failWindow = c.failWindow;
    p->failFullScreen = c.failFullScreen;
    p->failStart = c.failStart;
    usePlatformWith(p);
    screen::openScreen(800, 600, 16, 4, c.fullScreen);
    EXPECT_EQ(screen::screenReady(), c.ready);
    EXPECT_EQ(p->formOpen.load(), c.ready);  // a failed open leaves no window behind
    if (c.ready) {
      EXPECT_EQ(p->form.load(), c.form);
    }
    screen::closeScreen();
    EXPECT_FALSE(screen::screenReady());
    EXPECT_FALSE(p->formOpen);
  }
}

TEST_F(Display, FailedOpenLeavesTextOnStandardOutput) {
  probe->failWindow = true;
  probe->failFullScreen = true;
  screen::openScreen();
  ASSERT_FALSE(screen::screenReady());
  testing::internal::CaptureStdout();
  screen::printText("Error setting video mode!", true);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error setting video mode!\r\n");
}

// A headless platform that tells what it was given and when it was taken down.
class ReportingPlatform : public HeadlessPlatform {
 public:
  ReportingPlatform(std::shared_ptr<Probe> probe, std::string* title)
      : HeadlessPlatform(std::move(probe)), title_(title) {}
  bool start(const std::string& title) override {
    *title_ = title;
    return HeadlessPlatform::start(title);
  }
  void stop() override {
    HeadlessPlatform::stop();
    std::fputs("display taken down\n", stderr);
  }

 private:
  std::string* title_;
};

void openReportingScreen() {
  static std::string title;
  screen::usePlatform([] {
    return std::make_unique<ReportingPlatform>(std::make_shared<HeadlessPlatform::Probe>(), &title);
  });
  screen::openScreen();
  if (!screen::screenReady()) std::_Exit(99);
}

TEST(ProgramEnd, TakesTheDisplayDownAndEndsWithTheStatus) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        openReportingScreen();
        screen::endProgram(0);
      },
      testing::ExitedWithCode(0), "display taken down");
  EXPECT_EXIT(screen::endProgram(3), testing::ExitedWithCode(3), "");
  // An ending signal takes the display down from the display thread.
  EXPECT_EXIT(
      {
        openReportingScreen();
        std::raise(SIGTERM);
        for (;;) std::this_thread::sleep_for(1s);
      },
      testing::ExitedWithCode(128 + SIGTERM), "display taken down");
}

TEST(WindowTitle, TheWindowIsNamedAfterTheProgram) {
  std::string title;
  screen::usePlatform([&title] {
    return std::make_unique<ReportingPlatform>(std::make_shared<HeadlessPlatform::Probe>(), &title);
  });
  screen::openScreen();
  EXPECT_TRUE(screen::screenReady());
  screen::closeScreen();
  screen::usePlatform(nullptr);
  EXPECT_EQ(title, "unit_tests");
}

TEST(WindowTitle, IsTheFileNameWithoutDirectoryAndExtension) {
  const std::pair<const char*, const char*> cases[] = {
      {"/usr/bin/combinaciones", "combinaciones"},
      {"a/b.c.exe", "b.c"},
      {"noext", "noext"},
      {"combinaciones.exe", "combinaciones"},
      {"/opt/v1.2/prog", "prog"},  // a dot in a directory is not an extension
      {"", ""},
  };
  for (const auto& [path, title] : cases) EXPECT_EQ(screen::windowTitleFor(path), title) << path;
}

TEST(PixelConversion, EveryPixelConvertsToEachScreenLayout) {
  std::vector<std::uint16_t> source(65536);
  for (int p = 0; p < 65536; ++p) source[p] = static_cast<std::uint16_t>(p);
  std::vector<std::uint32_t> xrgb(65536);
  std::vector<std::uint16_t> rgb555(65536), rgb565(65536);
  screen::convertLine(source.data(), reinterpret_cast<std::uint8_t*>(xrgb.data()), 65536,
                      screen::PixelFormat::Xrgb8888);
  screen::convertLine(source.data(), reinterpret_cast<std::uint8_t*>(rgb555.data()), 65536,
                      screen::PixelFormat::Rgb555);
  screen::convertLine(source.data(), reinterpret_cast<std::uint8_t*>(rgb565.data()), 65536,
                      screen::PixelFormat::Rgb565);
  for (int p = 0; p < 65536; ++p) {
    const int red = p >> 11, green = (p >> 5) & 0x3F, blue = p & 0x1F;
    ASSERT_EQ(xrgb[p], shownRgb(static_cast<std::uint16_t>(p))) << p;
    ASSERT_EQ(rgb555[p], red << 10 | (green >> 1) << 5 | blue) << p;
    ASSERT_EQ(rgb565[p], p) << p;
  }
  EXPECT_EQ(screen::xrgbFrom565(0xFFFF), 0xF8FCF8u);
  EXPECT_EQ(screen::xrgbFrom565(0x0008), 0x000040u);
}

TEST_F(Display, PassesCopyChangedLinesToTheScreen) {
  screen::openScreen();
  ASSERT_TRUE(screen::screenReady());
  screen::setColours(0xFFFFFF, 0x000044);
  screen::clearScreen();
  screen::locate(2, 1);
  screen::printText("Hola", false);
  waitForPasses();

  const std::vector<std::uint32_t> picture = probe->picture();
  const CellGrid grid = CellGrid::fromPicture(picture, 800);
  EXPECT_EQ(grid.text(2, 1, 5), "Hola ");
  EXPECT_EQ(grid.at(2, 1).foreground, 0xFFFF);
  EXPECT_EQ(grid.at(2, 1).background, 0x0008);
  const std::uint16_t* page = screen::shownPage();
  for (int i = 0; i < 800 * 600; ++i) ASSERT_EQ(picture[i], shownRgb(page[i])) << "pixel " << i;
  EXPECT_EQ(picture[0], 0x000040u);
  EXPECT_GT(std::count(picture.begin(), picture.end(), 0xF8FCF8u), 0);  // the white letters
  EXPECT_FALSE(anyLineChanged());
  EXPECT_GT(screen::displayStats().linesCopied, 0u);
}

TEST_F(Display, OnlyFlaggedLinesAreCopied) {
  screen::openScreen();
  ASSERT_TRUE(screen::screenReady());
  waitForPasses();
  const std::uint64_t before = screen::displayStats().linesCopied;
  screen::locate(3, 1);
  screen::printText("X", false);
  screen::locate(30, 1);
  screen::printText("Y", false);
  waitForPasses();
  EXPECT_EQ(screen::displayStats().linesCopied - before, 32u);  // two rows of 16 lines
  EXPECT_EQ(shownPicture().text(3, 1, 1) + shownPicture().text(30, 1, 1), "XY");
}

TEST_F(Display, InactiveFullScreenShowsNothingUntilActivated) {
  struct ActivationCase {
    bool fullScreen;
    bool copiedWhileInactive;
  };
  for (const ActivationCase c : {ActivationCase{true, false}, ActivationCase{false, true}}) {
    SCOPED_TRACE(c.fullScreen ? "full screen" : "window");
    screen::openScreen(800, 600, 16, 4, c.fullScreen);
    ASSERT_TRUE(screen::screenReady());
    screen::clearScreen();
    waitForPasses();
    probe->post({WindowEventKind::Deactivated, 0});
    waitForPasses();

    screen::locate(5, 1);
    screen::printText("Oculto", false);
    waitForPasses();
    EXPECT_EQ(shownPicture().text(5, 1, 6), c.copiedWhileInactive ? "Oculto" : "      ");
    EXPECT_EQ(screen::lineChanged(5 * 16 - 1), !c.copiedWhileInactive);

    probe->post({WindowEventKind::Activated, 0});
    waitForPasses();
    EXPECT_EQ(shownPicture().text(5, 1, 6), "Oculto");
    EXPECT_FALSE(anyLineChanged());
    screen::closeScreen();
  }
}

TEST_F(Display, RepaintAndActivationShowTheWholePictureAgain) {
  screen::openScreen();
  ASSERT_TRUE(screen::screenReady());
  screen::locate(10, 1);
  screen::printText("Todo", false);
  waitForPasses();
  for (const WindowEventKind kind : {WindowEventKind::Repaint, WindowEventKind::Activated}) {
    wipePicture();
    probe->post({kind, 0});
    waitForPasses();
    const std::vector<std::uint32_t> picture = probe->picture();
    EXPECT_EQ(std::count(picture.begin(), picture.end(), 0x123456u), 0);
    EXPECT_EQ(CellGrid::fromPicture(picture, 800).text(10, 1, 4), "Todo");
  }
}

TEST_F(Display, ToggleFormSwitchesFormsAndShowsTheWholePicture) {
  struct ToggleCase {
    const char* what;
    bool failWindow, inactive;
    DisplayForm form;
  };
  const ToggleCase cases[] = {
      {"switches to the window", false, false, DisplayForm::Window},
      {"falls back to full screen when the window fails", true, false, DisplayForm::FullScreen},
      {"is ignored while the program is not active", false, true, DisplayForm::FullScreen},
  };
  for (const ToggleCase& c : cases) {
    SCOPED_TRACE(c.what);
    auto p = std::make_shared<HeadlessPlatform::Probe>();
    probe = p;
    usePlatformWith(p);
    screen::openScreen();
    ASSERT_TRUE(screen::screenReady());
    screen::locate(7, 3);
    screen::printText("Pantalla", false);
    waitForPasses();
    if (c.inactive) p->post({WindowEventKind::Deactivated, 0});
    p->failWindow = c.failWindow;
    wipePicture();
    p->post({WindowEventKind::ToggleForm, 0});
    waitForPasses();
    EXPECT_EQ(p->form.load(), c.form);
    EXPECT_TRUE(p->formOpen);
    EXPECT_FALSE(screen::keyWaiting());  // the key press is not a key
    if (!c.inactive) {
      const std::vector<std::uint32_t> picture = p->picture();
      EXPECT_EQ(std::count(picture.begin(), picture.end(), 0x123456u), 0);
      EXPECT_EQ(CellGrid::fromPicture(picture, 800).text(7, 3, 8), "Pantalla");
    }
    screen::closeScreen();
  }
  // And back again.
  screen::openScreen(800, 600, 16, 4, false);
  ASSERT_TRUE(screen::screenReady());
  probe->post({WindowEventKind::ToggleForm, 0});
  waitForPasses();
  EXPECT_EQ(probe->form.load(), DisplayForm::FullScreen);
}

TEST_F(Display, CloseRequestAndKeysReachTheKeyQueue) {
  screen::openScreen();
  ASSERT_TRUE(screen::screenReady());
  screen::clearKeys();
  probe->post({WindowEventKind::CloseRequest, 0});
  probe->post({WindowEventKind::Key, 'a'});
  waitForPasses();
  EXPECT_EQ(screen::pollKey(),
            "\xFF"
            "k");
  EXPECT_EQ(screen::pollKey(), "a");
  EXPECT_EQ(screen::pollKey(), "");
  EXPECT_TRUE(screen::screenReady());  // the window stays open
  EXPECT_TRUE(probe->formOpen);
}

TEST_F(Display, UnlockFlagsTheNamedLines) {
  // A screen that takes no pixels: passes copy nothing, so the flags stay as set.
  class FlagKeepingPlatform : public HeadlessPlatform {
   public:
    using HeadlessPlatform::HeadlessPlatform;
    screen::Surface surface() override { return {}; }
  };
  screen::usePlatform([p = probe] { return std::make_unique<FlagKeepingPlatform>(p); });
  screen::openScreen();
  ASSERT_TRUE(screen::screenReady());
  screen::lockDisplay();
  screen::unlockDisplay();  // no line named
  EXPECT_FALSE(anyLineChanged());
  screen::lockDisplay();
  screen::unlockDisplay(10, 20);
  screen::lockDisplay();
  screen::unlockDisplay(590, 700);  // cut to the page
  for (int y = 0; y < 600; ++y)
    EXPECT_EQ(screen::lineChanged(y), (y >= 10 && y <= 20) || y >= 590) << "line " << y;
}

// The program's thread takes the lock over and over, each time drawing a new value into
// the first and the last pixel line. Passes must keep coming, and none may copy the page
// in the middle of a drawing: every picture shows the two lines alike.
TEST_F(Display, LockKeepsPassesComingAndWhole) {
  screen::openScreen();
  ASSERT_TRUE(screen::screenReady());
  waitForPasses(1);
  // The drawing goes on until 20 passes have come, or 10 s have gone: far more than the
  // 200 ms that 20 passes take when the lock lets them through, so a slow build or a busy
  // machine does not make the count fall short.
  const std::uint64_t start = screen::displayStats().passes;
  const auto end = std::chrono::steady_clock::now() + 10s;
  std::uint16_t value = 0;
  int torn = 0, pictures = 0;
  while (screen::displayStats().passes - start < 20 && std::chrono::steady_clock::now() < end) {
    for (int i = 0; i < 5000; ++i) {
      screen::lockDisplay();
      std::uint16_t* page = screen::workPage();
      ++value;
      std::fill_n(page, 800, value);
      std::fill_n(page + 599 * 800, 800, value);
      screen::unlockDisplay(0, 599);
    }
    const std::vector<std::uint32_t> picture = probe->picture();
    ++pictures;
    if (picture[0] != picture[599 * 800] || picture[799] != picture[599 * 800 + 799]) ++torn;
  }
  const std::uint64_t passes = screen::displayStats().passes - start;
  EXPECT_GE(passes, 20u) << "the display thread was held off the lock";
  EXPECT_EQ(torn, 0) << "of " << pictures << " pictures";
}

}  // namespace
