// The beep: a 1000 Hz tone of 250 ms through SDL audio, started without waiting for it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

struct SDL_Thread;

namespace screen {

class SdlBeeper {
 public:
  // The tone and the format it is sent to the audio device in: 16-bit signed mono.
  static constexpr int SampleRate = 48000;
  static constexpr int ToneHz = 1000;
  static constexpr int ToneMs = 250;

  SdlBeeper();
  ~SdlBeeper();
  SdlBeeper(const SdlBeeper&) = delete;
  SdlBeeper& operator=(const SdlBeeper&) = delete;
  // Starts the tone (from any thread) and returns at once; a beep while one sounds starts
  // it again. Silent when no audio device can be opened.
  void beep();

 private:
  static int run(void* beeper);
  void play();
  bool openDevice();

  // Opening an audio device can take a while (a sound server to reach), so the first beep
  // starts a thread that opens it and then sounds every beep asked for.
  std::mutex mutex_;
  std::condition_variable wake_;
  SDL_Thread* player_ = nullptr;  // an SDL thread, so that SDL frees its per-thread state
  bool pending_ = false;          // a beep was asked for and has not started yet
  bool stopping_ = false;         // the beeper is going away

  // Used by the player thread only, and by the destructor once it has ended.
  bool audioStarted_ = false;  // SDL's audio subsystem was started for the beep
  std::uint32_t device_ = 0;   // SDL's audio device id, 0 when none could be opened
  std::vector<std::int16_t> tone_;
};

}  // namespace screen
