#include "screen/keyboard.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <mutex>
#include <thread>

#include "screen/display.h"

namespace screen {
namespace {

// The key queue: a ring of 16 codes; equal indices mean empty, so it holds at most 15.
// The indices change only under the display lock. `queued` mirrors how many keys wait,
// so that polling an empty queue, once per listed combination, need not take the lock.
constexpr unsigned QueueSlots = 16;
std::array<KeyCode, QueueSlots> slots{};
unsigned writeIndex = 0;
unsigned readIndex = 0;
std::atomic<unsigned> queued{0};
// Lets a waiting program sleep until the display thread queues a key.
std::mutex arrivalMutex;
std::condition_variable arrival;

constexpr auto IdlePause = std::chrono::milliseconds(25);

KeyCode codeOf(const KeyText& key) {
  if (key.size() == 1) return static_cast<std::uint8_t>(key[0]);
  if (key.size() == 2) return static_cast<std::uint8_t>(key[1]) * 256 + 255;
  return 0;
}

// Moves the cursor by cells places in reading order. The first cell below the last row
// is reached by a line end from the last cell, which scrolls the grid; any other target
// off the grid is refused by locate and the cursor stays.
void moveBy(std::int64_t cells, int width, int height) {
  const CellPosition at = cursorPosition();
  const std::int64_t index = std::int64_t{at.row - 1} * width + (at.column - 1) + cells;
  std::int64_t row = index / width;
  std::int64_t column = index % width;
  if (column < 0) {
    column += width;
    --row;
  }
  if (row == height && column == 0) {
    locate(height, width);
    printText("", true);
  } else if (row >= 0 && row < height) {
    locate(static_cast<int>(row) + 1, static_cast<int>(column) + 1);
  }
}

// The line being edited, with the edit position, echoed at the cursor as it changes.
class LineEditor {
 public:
  LineEditor() : width_(gridSize().column), height_(gridSize().row) {}

  const Text& text() const { return text_; }

  void act(KeyCode code) {
    const std::size_t length = text_.size();
    switch (code) {
      case 8:
        if (position_ > 0) {
          move(-1);
          --position_;
          remove(1);
        }
        break;
      case KeyDelete:
        if (position_ == length) {
          soundBeep();
        } else {
          remove(1);
        }
        break;
      case 27:
        move(-static_cast<std::int64_t>(position_));
        position_ = 0;
        remove(length);
        break;
      case KeyLeft:
        if (position_ > 0) {
          move(-1);
          --position_;
        }
        break;
      case KeyRight:
        if (position_ < length) {
          move(1);
          ++position_;
        }
        break;
      case KeyHome:
        move(-static_cast<std::int64_t>(position_));
        position_ = 0;
        break;
      case KeyEnd:
        moveToEnd();
        break;
      case KeyUp:
        if (position_ >= static_cast<std::size_t>(width_)) {
          move(-width_);
          position_ -= static_cast<std::size_t>(width_);
        }
        break;
      case KeyDown:
        if (position_ + static_cast<std::size_t>(width_) <= length) {
          move(width_);
          position_ += static_cast<std::size_t>(width_);
        }
        break;
      case 9:
        insert(Text(8 - position_ % 8, ' '));
        break;
      default:
        if (code >= 32 && code <= 255) insert(Text(1, static_cast<char>(code)));
    }
  }

  void moveToEnd() {
    move(static_cast<std::int64_t>(text_.size() - position_));
    position_ = text_.size();
  }

 private:
  void move(std::int64_t cells) { moveBy(cells, width_, height_); }

  // Inserts at the edit position and redraws the rest of the line after it.
  void insert(const Text& added) {
    const CellPosition start = cursorPosition();
    const bool appended = position_ == text_.size();
    text_.insert(position_, added);
    const std::size_t printed = text_.size() - position_;
    printText(std::string_view(text_).substr(position_), false);
    const std::int64_t end = std::int64_t{start.row - 1} * width_ + (start.column - 1) +
                             static_cast<std::int64_t>(printed);
    if (appended || end <= std::int64_t{height_} * width_) {
      locate(start.row, start.column);
      move(static_cast<std::int64_t>(added.size()));
    } else {
      // The printing scrolled the grid: step back from where it ended.
      move(-static_cast<std::int64_t>(printed - added.size()));
    }
    position_ += added.size();
  }

  // Removes count characters at the edit position; spaces blank the cells left over.
  void remove(std::size_t count) {
    const CellPosition start = cursorPosition();
    text_.erase(position_, count);
    printText(text_.substr(position_) + Text(count, ' '), false);
    locate(start.row, start.column);
  }

  int width_;
  int height_;
  Text text_;
  std::size_t position_ = 0;
};

}  // namespace

void pushKey(KeyCode code) {
  slots[writeIndex] = code;
  writeIndex = (writeIndex + 1) % QueueSlots;
  if (writeIndex == readIndex) {
    readIndex = (readIndex + 1) % QueueSlots;  // full: the oldest key is lost
  } else {
    queued.fetch_add(1, std::memory_order_relaxed);
  }
  { const std::lock_guard guard(arrivalMutex); }
  arrival.notify_one();
}

KeyText pollKey() {
  if (queued.load(std::memory_order_relaxed) == 0) return KeyText();
  KeyCode code = 0;
  lockDisplay();
  if (readIndex != writeIndex) {
    code = slots[readIndex];
    readIndex = (readIndex + 1) % QueueSlots;
    queued.fetch_sub(1, std::memory_order_relaxed);
  }
  unlockDisplay();
  if (code <= 0) return KeyText();
  if (code <= 255) return KeyText(1, static_cast<char>(code));
  return KeyText{static_cast<char>(255), static_cast<char>((code >> 8) & 0xFF)};
}

void waitForKey(std::chrono::milliseconds timeout) {
  std::unique_lock guard(arrivalMutex);
  arrival.wait_for(guard, timeout, [] { return queued.load(std::memory_order_relaxed) != 0; });
}

bool keyWaiting() {
  lockDisplay();
  const bool waiting = readIndex != writeIndex;
  unlockDisplay();
  return waiting;
}

void clearKeys() {
  lockDisplay();
  readIndex = writeIndex;
  queued.store(0, std::memory_order_relaxed);
  unlockDisplay();
}

Text readLine(std::string_view prompt, bool questionMark, bool newLineAfter) {
  settlePendingWrap();
  if (!prompt.empty()) printText(prompt, false);
  if (questionMark) printText("? ", false);
  LineEditor editor;
  for (;;) {
    while (!keyWaiting()) std::this_thread::sleep_for(IdlePause);
    const KeyCode code = codeOf(pollKey());
    if (code == 13 || code == 10) break;
    editor.act(code);
  }
  editor.moveToEnd();
  if (newLineAfter) printText("", true);
  return editor.text();
}

double timerSeconds() {
  // The source is chosen once: the monotonic clock when it counts finer than a
  // millisecond, else a millisecond tick read as 32 bits.
  static const double factor = [] {
    timespec resolution{};
    const bool fine = clock_getres(CLOCK_MONOTONIC, &resolution) == 0 && resolution.tv_sec == 0 &&
                      resolution.tv_nsec > 0 && resolution.tv_nsec < 1000000;
    return fine ? 1e-9 : 0.0;
  }();
  timespec now{};
  if (factor != 0.0) {
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(std::int64_t{now.tv_sec} * 1000000000 + now.tv_nsec) * factor;
  }
  clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
  const auto ticks =
      static_cast<std::uint32_t>(std::int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1000000);
  return ticks * 0.001;
}

}  // namespace screen
