#include "screen/platform/sdl_beep.h"
#include "screen/platform/sdl_subsystems.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace screen {
namespace {

// One sine tone with short linear fades at both ends, so that it starts and stops
// without a click.
std::vector<std::int16_t> makeTone(int sampleRate, int hz, int ms) {
  constexpr double Amplitude = 0.3 * 32767;
  constexpr int FadeMs = 3;
  const int samples = sampleRate * ms / 1000;
  const int fade = sampleRate * FadeMs / 1000;
  std::vector<std::int16_t> tone(static_cast<std::size_t>(samples));
  for (int i = 0; i < samples; ++i) {
    const double envelope = std::min({1.0, double(i) / fade, double(samples - 1 - i) / fade});
    const double phase = 2 * std::numbers::pi * hz * i / sampleRate;
    tone[static_cast<std::size_t>(i)] =
        static_cast<std::int16_t>(std::lround(Amplitude * envelope * std::sin(phase)));
  }
  return tone;
}

}  // namespace

SdlBeeper::SdlBeeper() = default;

SdlBeeper::~SdlBeeper() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  if (player_ != nullptr) SDL_WaitThread(player_, nullptr);
  if (device_ != 0) SDL_CloseAudioDevice(device_);
  if (audioStarted_) {
    const std::lock_guard subsystems(sdlSubsystemLock());
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
}

void SdlBeeper::beep() {
  {
    const std::lock_guard lock(mutex_);
    if (player_ == nullptr) player_ = SDL_CreateThread(&SdlBeeper::run, "beep", this);
    if (player_ == nullptr) return;  // no thread, no beep
    pending_ = true;
  }
  wake_.notify_one();
}

// Starts SDL's audio subsystem, on its own and apart from video, and opens the default
// device for the tone's format; SDL converts if the device wants another.
bool SdlBeeper::openDevice() {
  {
    const std::lock_guard subsystems(sdlSubsystemLock());
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  }
  audioStarted_ = true;
  SDL_AudioSpec wanted{};
  wanted.freq = SampleRate;
  wanted.format = AUDIO_S16SYS;
  wanted.channels = 1;
  wanted.samples = 1024;
  wanted.callback = nullptr;  // the tone is queued
  SDL_AudioSpec obtained{};
  device_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
  if (device_ == 0) return false;
  tone_ = makeTone(SampleRate, ToneHz, ToneMs);
  return true;
}

int SdlBeeper::run(void* beeper) {
  static_cast<SdlBeeper*>(beeper)->play();
  return 0;
}

// The player thread: opens the device, then sounds each beep asked for until the beeper
// goes away. Without a device it still takes the requests, silently.
void SdlBeeper::play() {
  openDevice();
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return pending_ || stopping_; });
    if (stopping_) return;
    pending_ = false;
    if (device_ == 0) continue;
    lock.unlock();
    // Queue the whole tone and let SDL's audio thread play it; the device plays silence
    // once the queue is empty.
    SDL_ClearQueuedAudio(device_);
    SDL_QueueAudio(device_, tone_.data(), static_cast<Uint32>(tone_.size() * sizeof tone_[0]));
    SDL_PauseAudioDevice(device_, 0);
    lock.lock();
  }
}

}  // namespace screen
