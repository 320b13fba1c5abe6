// A platform with no window system: the screen is a 32-bit picture in memory, events
// are whatever a test posts, and a beep is only counted. Tests and benchmarks use it to
// run the whole text screen, display thread included, without a display.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "screen/platform.h"

namespace screen {

class HeadlessPlatform : public Platform {
 public:
  // What a test can see and do while the platform runs inside the display.
  struct Probe {
    std::atomic<int> beeps{0};
    std::atomic<int> presents{0};
    std::atomic<bool> failWindow{false};
    std::atomic<bool> failFullScreen{false};
    std::atomic<bool> failStart{false};
    std::atomic<DisplayForm> form{DisplayForm::Window};
    std::atomic<bool> formOpen{false};

    void post(WindowEvent event);
    // The picture as shown: XRGB pixels, 800 x 600, read under a lock of its own.
    std::vector<std::uint32_t> picture();

    std::mutex mutex;
    std::deque<WindowEvent> events;
    std::vector<std::uint32_t> screen = std::vector<std::uint32_t>(800 * 600);
  };

  explicit HeadlessPlatform(std::shared_ptr<Probe> probe) : probe_(std::move(probe)) {}

  bool start(const std::string& title) override;
  bool openForm(DisplayForm form) override;
  void closeForm() override;
  void stop() override {}
  Surface surface() override;
  void present(int firstLine, int lastLine) override;
  int pollEvents(WindowEvent* events, int capacity) override;
  void beep() override { ++probe_->beeps; }

 private:
  std::shared_ptr<Probe> probe_;
  std::vector<std::uint32_t> frame_ = std::vector<std::uint32_t>(800 * 600);
};

}  // namespace screen
