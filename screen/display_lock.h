// The display lock: one mutual-exclusion lock between the program's thread, which takes
// it millions of times a second for well under a microsecond, and the display thread,
// which takes it about a hundred times a second for a whole refresh pass.
//
// It is built so that the program's side costs no locked instruction. Each side raises a
// flag of its own and then looks at the other's (the two-flag handshake): the program's
// thread raises `programInside` and checks `displayWanting`; the display thread raises
// `displayWanting` and waits for `programInside` to fall. The handshake needs each
// side's flag to be visible before it reads the other's. On the program's side that would
// take a full fence (on x86 it drains the store buffer, full of freshly painted pixels);
// instead the display thread, after raising its flag, has the kernel run a memory barrier
// on every thread of the process (membarrier), which gives the same guarantee a hundred
// times a second instead of millions. Where the kernel lacks membarrier, the program's
// side uses an ordinary sequentially consistent store.
//
// The display never starves: a raised `displayWanting` holds the program's thread back at
// its next lock until the pass is done, so a pass waits for one drawing operation at most.
// The program's thread waits for a pass by sleeping on `displayWanting`; the display
// thread waits for a drawing operation, which is short, by spinning and yielding.
#pragma once

#include <linux/membarrier.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <thread>

namespace screen {

class DisplayLock {
 public:
  DisplayLock()
      : asymmetric_(syscall(SYS_membarrier, MEMBARRIER_CMD_REGISTER_PRIVATE_EXPEDITED, 0, 0) == 0) {
  }

  void lockForProgram() {
    for (;;) {
      if (asymmetric_) {
        programInside_.store(1, std::memory_order_relaxed);
        std::atomic_signal_fence(std::memory_order_seq_cst);  // the store stays before the load
      } else {
        programInside_.store(1, std::memory_order_seq_cst);
      }
      if (displayWanting_.load(std::memory_order_acquire) == 0) return;
      // A pass is due: step out of its way and sleep until it is over.
      programInside_.store(0, std::memory_order_release);
      displayWanting_.wait(1, std::memory_order_acquire);
    }
  }
  void unlockForProgram() { programInside_.store(0, std::memory_order_release); }

  void lockForDisplay() {
    displayWanting_.store(1, std::memory_order_seq_cst);
    if (asymmetric_) syscall(SYS_membarrier, MEMBARRIER_CMD_PRIVATE_EXPEDITED, 0, 0);
    for (int spins = 0; programInside_.load(std::memory_order_acquire) != 0; ++spins) {
      if (spins > 64) std::this_thread::yield();
    }
  }
  void unlockForDisplay() {
    displayWanting_.store(0, std::memory_order_release);
    displayWanting_.notify_all();
  }

 private:
  const bool asymmetric_;
  std::atomic<std::uint32_t> programInside_{0};
  std::atomic<std::uint32_t> displayWanting_{0};
};

}  // namespace screen
