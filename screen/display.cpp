#include "screen/display.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <future>
#include <mutex>
#include <thread>

#include "screen/display_lock.h"
#include "screen/headless_platform.h"
#include "screen/keyboard.h"
#include "screen/pixels.h"
#include "screen/platform.h"
#include "screen/text.h"

namespace screen {
namespace {

constexpr int PagePixels = ScreenWidth * ScreenHeight;
constexpr auto PassPause = std::chrono::milliseconds(10);
constexpr int EventsPerPass = 64;

// The pages and flags of an open display. The program's thread writes the work page and
// sets flags under the display lock; the display thread reads the shown page and clears
// flags under the same lock.
struct Pages {
  std::unique_ptr<std::uint16_t[]> pixels{new std::uint16_t[PageCount * PagePixels]()};
  std::array<std::uint8_t, ScreenHeight> changed{};
  int work = 0;
  int shown = 0;
};

// What the display thread alone touches while it runs.
struct DisplayThreadState {
  DisplayForm form = DisplayForm::Window;
  bool active = false;
};

std::function<std::unique_ptr<Platform>()> platformFactory;
std::unique_ptr<Platform> platform;
std::unique_ptr<Pages> pages;
DisplayLock displayLock;
DisplayThreadState threadState;
std::thread displayThread;
std::atomic<bool> running{false};
std::mutex wakeMutex;  // with `wake`, ends the display thread's pause when it must stop
std::condition_variable wake;
std::atomic<bool> threadAlive{false};
std::atomic<int> pendingSignal{0};
bool isOpen = false;
bool exitActionInstalled = false;
bool titleKnown = false;
std::string title;

std::atomic<std::uint64_t> passCount{0};
std::atomic<std::uint64_t> copiedLineCount{0};
std::atomic<std::int64_t> longestWaitNanos{0};

DisplayForm otherForm(DisplayForm form) {
  return form == DisplayForm::Window ? DisplayForm::FullScreen : DisplayForm::Window;
}

void flagAllLines() {
  pages->changed.fill(1);
}

// Copies the flagged lines of the shown page into the screen's surface, converting them.
// Returns the first and last line copied (first > last when none was).
std::pair<int, int> copyChangedLines() {
  int first = ScreenHeight, last = -1, copied = 0;
  if (!threadState.active && threadState.form == DisplayForm::FullScreen) return {first, last};
  const Surface target = platform->surface();
  if (target.pixels == nullptr) return {first, last};
  const std::uint16_t* shown = pages->pixels.get() + pages->shown * PagePixels;
  for (int y = 0; y < ScreenHeight; ++y) {
    if (!pages->changed[y]) continue;
    convertLine(shown + y * ScreenWidth, target.pixels + (y + target.topOffset) * target.pitchBytes,
                ScreenWidth, target.format);
    pages->changed[y] = 0;
    first = std::min(first, y);
    last = y;
    ++copied;
  }
  copiedLineCount.fetch_add(static_cast<std::uint64_t>(copied), std::memory_order_relaxed);
  return {first, last};
}

void switchForm() {
  platform->closeForm();
  const DisplayForm wanted = otherForm(threadState.form);
  if (platform->openForm(wanted)) {
    threadState.form = wanted;
  } else {
    platform->openForm(threadState.form);
  }
  flagAllLines();
  threadState.active = true;
}

void handleEvent(const WindowEvent& event) {
  switch (event.kind) {
    case WindowEventKind::Key:
      pushKey(event.keyCode);
      break;
    case WindowEventKind::CloseRequest:
      pushKey(KeyClose);
      break;
    case WindowEventKind::ToggleForm:
      if (threadState.active) switchForm();
      break;
    case WindowEventKind::Activated:
    case WindowEventKind::Deactivated:
      threadState.active = event.kind == WindowEventKind::Activated;
      flagAllLines();
      break;
    case WindowEventKind::Repaint:
      flagAllLines();
      break;
  }
}

// A signal that ends the program takes the display down from this thread, since the
// program's thread may be anywhere, and ends the process with the usual status.
[[noreturn]] void endBySignal(int signal) {
  platform->closeForm();
  platform->stop();
  _exit(128 + signal);
}

void refreshPass() {
  WindowEvent events[EventsPerPass];
  const auto waitStart = std::chrono::steady_clock::now();
  displayLock.lockForDisplay();
  const std::int64_t waited = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                  std::chrono::steady_clock::now() - waitStart)
                                  .count();
  if (waited > longestWaitNanos.load(std::memory_order_relaxed))
    longestWaitNanos.store(waited, std::memory_order_relaxed);
  const auto [first, last] = copyChangedLines();
  const int count = platform->pollEvents(events, EventsPerPass);
  for (int i = 0; i < count; ++i) handleEvent(events[i]);
  displayLock.unlockForDisplay();
  // The surface belongs to this thread, so it can reach the screen outside the lock.
  if (first <= last) platform->present(first, last);
  passCount.fetch_add(1, std::memory_order_relaxed);
}

void displayMain(DisplayForm requested, std::promise<bool>* started) {
  DisplayForm form = requested;
  bool up = platform->start(title);
  if (up && !platform->openForm(form)) {
    form = otherForm(requested);
    up = platform->openForm(form);
  }
  if (!up) {
    platform->stop();
    started->set_value(false);
    return;
  }
  threadState.form = form;
  threadState.active = true;
  // A raised priority keeps the picture current while the lister keeps a core busy;
  // without the right to raise it, the thread simply runs at the normal one.
  setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), -5);
  started->set_value(true);
  while (running.load(std::memory_order_acquire)) {
    if (const int signal = pendingSignal.load()) endBySignal(signal);
    refreshPass();
    // The pause ends early when the display closes, so that closing waits for no pause.
    std::unique_lock wakeLock(wakeMutex);
    wake.wait_for(wakeLock, PassPause, [] { return !running.load(std::memory_order_acquire); });
  }
  platform->closeForm();
  platform->stop();
}

void onEndingSignal(int signal) {
  pendingSignal.store(signal);
  // With no display thread to take the display down, nothing is left to restore.
  if (!threadAlive.load()) _exit(128 + signal);
}

void installSignalHandlers() {
  struct sigaction action {};
  action.sa_handler = onEndingSignal;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

std::string programPath() {
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
}

void closeScreenAtExit() {
  closeScreen();
}

// Sets `count` changed-line flags. Drawing a row flags its 16 lines, which one plain
// 16-byte store does; a memset of that size would start a slow string store.
void flagLines(std::uint8_t* flags, int count) {
  static constexpr std::uint8_t Sixteen[16] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
  if (count == 16) {
    std::memcpy(flags, Sixteen, sizeof Sixteen);
  } else if (count > 0) {
    std::memset(flags, 1, static_cast<std::size_t>(count));
  }
}

}  // namespace

std::string windowTitleFor(const std::string& programPath) {
  std::string name = programPath.substr(programPath.find_last_of('/') + 1);
  const std::size_t dot = name.find_last_of('.');
  if (dot != std::string::npos) name.erase(dot);
  return name;
}

void usePlatform(std::function<std::unique_ptr<Platform>()> factory) {
  platformFactory = std::move(factory);
}

void openScreen(int width, int height, int depth, int pageCount, bool fullScreen) {
  closeScreen();
  if (width != ScreenWidth || height != ScreenHeight || depth != ScreenDepth || pageCount < 1 ||
      pageCount > PageCount)
    return;
  pages = std::make_unique<Pages>();
  resetTextState();
  if (!titleKnown) {
    title = windowTitleFor(programPath());
    titleKnown = true;
  }
  platform = platformFactory
                 ? platformFactory()
                 : std::make_unique<HeadlessPlatform>(std::make_shared<HeadlessPlatform::Probe>());
  passCount = 0;
  copiedLineCount = 0;
  longestWaitNanos = 0;
  installSignalHandlers();

  std::promise<bool> started;
  std::future<bool> up = started.get_future();
  running = true;
  threadAlive = true;
  const DisplayForm form = fullScreen ? DisplayForm::FullScreen : DisplayForm::Window;
  displayThread = std::thread(displayMain, form, &started);
  if (!up.get()) {
    running = false;
    displayThread.join();
    threadAlive = false;
    platform.reset();
    pages.reset();
    return;
  }
  isOpen = true;
  if (!exitActionInstalled) {
    std::atexit(closeScreenAtExit);
    exitActionInstalled = true;
  }
}

bool screenReady() {
  return isOpen;
}

void closeScreen() {
  if (!isOpen) return;
  if (std::this_thread::get_id() == displayThread.get_id()) {
    // The process is ending from the display thread itself: the window system library
    // does that when the connection to the display is lost. Nothing can be taken down
    // any more, and the thread cannot wait for itself: end at once.
    _exit(1);
  }
  {
    std::lock_guard wakeLock(wakeMutex);
    running.store(false, std::memory_order_release);
  }
  wake.notify_one();
  displayThread.join();
  threadAlive = false;
  isOpen = false;
  platform.reset();
  pages.reset();
  if (const int signal = pendingSignal.load()) _exit(128 + signal);
}

void endProgram(int status) {
  std::exit(status);
}

void lockDisplay() {
  displayLock.lockForProgram();
}

void unlockDisplay(int firstLine, int lastLine) {
  if (firstLine != NoLine && pages && pages->work == pages->shown) {
    firstLine = std::max(firstLine, 0);
    lastLine = std::min(lastLine, ScreenHeight - 1);
    flagLines(pages->changed.data() + firstLine, lastLine - firstLine + 1);
  }
  displayLock.unlockForProgram();
}

std::uint16_t* workPage() {
  return pages->pixels.get() + pages->work * PagePixels;
}
const std::uint16_t* shownPage() {
  return pages->pixels.get() + pages->shown * PagePixels;
}

bool lineChanged(int y) {
  lockDisplay();
  const bool changed = pages && pages->changed[static_cast<std::size_t>(y)] != 0;
  unlockDisplay();
  return changed;
}

void soundBeep() {
  if (platform) platform->beep();
}

DisplayStats displayStats() {
  return DisplayStats{passCount.load(), copiedLineCount.load(),
                      static_cast<double>(longestWaitNanos.load()) * 1e-9};
}

}  // namespace screen
