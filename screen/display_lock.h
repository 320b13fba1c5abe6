// The display lock: one mutual-exclusion lock between the program's thread, which takes
// it millions of times a second for a few hundred nanoseconds, and the display thread,
// which takes it about a hundred times a second for a whole refresh pass.
//
// The program's side costs one atomic exchange and one plain store when the display is
// not waiting. The display never starves: it raises `displayWaiting`, which holds the
// program's thread back at its next lock until the pass has had its turn, so a waiting
// pass gets the lock after at most one drawing operation. The program's thread waits for
// a pass by sleeping on the lock word; the display thread waits for a drawing operation,
// which is short, by spinning and yielding.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

namespace screen {

class DisplayLock {
 public:
  void lockForProgram() {
    if (displayWaiting_.load(std::memory_order_relaxed) ||
        word_.exchange(Held, std::memory_order_acquire) != Free) {
      waitForDisplay();
    }
  }
  void unlockForProgram() { word_.store(Free, std::memory_order_release); }

  void lockForDisplay() {
    displayWaiting_.store(true, std::memory_order_relaxed);
    for (int spins = 0; word_.exchange(Held, std::memory_order_acquire) != Free; ++spins) {
      if (spins > 64) std::this_thread::yield();
    }
    displayWaiting_.store(false, std::memory_order_relaxed);
  }
  void unlockForDisplay() {
    word_.store(Free, std::memory_order_release);
    word_.notify_all();
  }

 private:
  static constexpr std::uint32_t Free = 0;
  static constexpr std::uint32_t Held = 1;

  void waitForDisplay() {
    for (;;) {
      // Let a waiting pass go first, then take the lock as soon as it is free.
      while (displayWaiting_.load(std::memory_order_relaxed)) std::this_thread::yield();
      const std::uint32_t seen = word_.exchange(Held, std::memory_order_acquire);
      if (seen == Free) return;
      word_.wait(Held, std::memory_order_relaxed);
    }
  }

  std::atomic<std::uint32_t> word_{Free};
  std::atomic<bool> displayWaiting_{false};
};

}  // namespace screen
