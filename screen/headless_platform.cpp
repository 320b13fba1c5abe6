#include "screen/headless_platform.h"

#include <algorithm>
#include <cstring>

namespace screen {

void HeadlessPlatform::Probe::post(WindowEvent event) {
  std::lock_guard guard(mutex);
  events.push_back(event);
}

std::vector<std::uint32_t> HeadlessPlatform::Probe::picture() {
  std::lock_guard guard(mutex);
  return screen;
}

bool HeadlessPlatform::start(const std::string&) {
  return !probe_->failStart;
}

bool HeadlessPlatform::openForm(DisplayForm form) {
  if (form == DisplayForm::Window ? probe_->failWindow.load() : probe_->failFullScreen.load())
    return false;
  probe_->form = form;
  probe_->formOpen = true;
  return true;
}

void HeadlessPlatform::closeForm() {
  probe_->formOpen = false;
}

Surface HeadlessPlatform::surface() {
  return Surface{reinterpret_cast<std::uint8_t*>(frame_.data()), 800 * 4, PixelFormat::Xrgb8888, 0};
}

// The frame is the display thread's own; presenting copies it to where tests read it.
void HeadlessPlatform::present(int firstLine, int lastLine) {
  std::lock_guard guard(probe_->mutex);
  std::copy(frame_.begin() + firstLine * 800, frame_.begin() + (lastLine + 1) * 800,
            probe_->screen.begin() + firstLine * 800);
  ++probe_->presents;
}

int HeadlessPlatform::pollEvents(WindowEvent* events, int capacity) {
  std::lock_guard guard(probe_->mutex);
  int count = 0;
  while (count < capacity && !probe_->events.empty()) {
    events[count++] = probe_->events.front();
    probe_->events.pop_front();
  }
  return count;
}

}  // namespace screen
