// SDL keeps the count of each subsystem's users without a lock of its own. Video starts
// and stops on the display thread while audio starts and stops on the beeper's thread, so
// both take this lock around SDL_InitSubSystem and SDL_QuitSubSystem.
#pragma once

#include <mutex>

namespace screen {

inline std::mutex& sdlSubsystemLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace screen
