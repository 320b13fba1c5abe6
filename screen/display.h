// The display and the program's lifecycle: opening and closing the 800 x 600 screen,
// the pages the text screen draws into, the changed-line flags, the display lock that
// the drawing operations and the display thread share, and the end of the program.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace screen {

class Platform;

constexpr int ScreenWidth = 800;
constexpr int ScreenHeight = 600;
constexpr int ScreenDepth = 16;
constexpr int PageCount = 4;
constexpr int NoLine = -1;

// Opens the display: full screen when fullScreen is set and the platform allows it,
// else an 800 x 600 window (and the other way round). Returns once the display is up
// or every attempt failed; screenReady() tells which. Only 800 x 600 at 16 bits with
// 1 to 4 pages exists; any other request fails.
void openScreen(int width = ScreenWidth, int height = ScreenHeight, int depth = ScreenDepth,
                int pages = PageCount, bool fullScreen = true);
bool screenReady();
// Takes the display down and waits for the display thread; nothing when none is open.
void closeScreen();
// Runs the exit actions (closing the display among them) and ends the process.
[[noreturn]] void endProgram(int status);

// The display lock, taken by every drawing operation of the program's thread around its
// writes into the work page. unlockDisplay flags pixel lines firstLine..lastLine as
// changed (when the work page is the shown page) and releases the lock; NoLine names none.
// Only one thread, the one that draws, may take it this way: the lock is built for that
// thread and the display thread alone (see display_lock.h).
void lockDisplay();
void unlockDisplay(int firstLine = NoLine, int lastLine = NoLine);

// The pages, 5-6-5 pixels, ScreenWidth per line. Valid while the display is open.
std::uint16_t* workPage();
const std::uint16_t* shownPage();
// Whether pixel line y is flagged as changed and not yet copied (for tests).
bool lineChanged(int y);

// Sounds the 1000 Hz, 250 ms tone without waiting for it; silent when nothing can play it.
void soundBeep();

// The title the window shows: the program's file name without directory and extension.
std::string windowTitleFor(const std::string& programPath);

// Chooses the platform the next openScreen uses. Without one, the display runs headless.
void usePlatform(std::function<std::unique_ptr<Platform>()> factory);

// What the display thread has done, for benchmarks and tests.
struct DisplayStats {
  std::uint64_t passes = 0;             // refresh passes since the display opened
  std::uint64_t linesCopied = 0;        // pixel lines copied to the screen
  double longestLockWaitSeconds = 0.0;  // longest wait of a pass for the display lock
};
DisplayStats displayStats();

}  // namespace screen
