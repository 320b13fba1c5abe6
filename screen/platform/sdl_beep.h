// The beep: a 1000 Hz tone of 250 ms through SDL audio, started without waiting for it.
#pragma once

#include <atomic>

namespace screen {

class SdlBeeper {
 public:
  SdlBeeper();
  ~SdlBeeper();
  SdlBeeper(const SdlBeeper&) = delete;
  SdlBeeper& operator=(const SdlBeeper&) = delete;
  // Starts the tone (from any thread); silent when no audio device can be opened.
  void beep();
};

}  // namespace screen
