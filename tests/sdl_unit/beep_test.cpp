// The beep, heard through SDL's disk audio driver: the samples it writes to a file are
// searched for the tone, which is measured for pitch and length.
#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include <unistd.h>

#include "screen/platform/sdl_beep.h"

namespace {

using screen::SdlBeeper;
using Clock = std::chrono::steady_clock;

std::vector<std::int16_t> readSamples(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
  std::vector<std::int16_t> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

std::uintmax_t sizeOf(const std::filesystem::path& file) {
  std::error_code error;
  const auto size = std::filesystem::file_size(file, error);
  return error ? 0 : size;
}

TEST(Beep, SoundsAThousandHertzForAQuarterSecondWithoutWaiting) {
  const auto file =
      std::filesystem::temp_directory_path() / ("beep_test_" + std::to_string(::getpid()) + ".raw");
  ::setenv("SDL_AUDIODRIVER", "disk", 1);
  ::setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
  // The disk driver writes silence while nothing plays; wait until the tone and some
  // silence after it are written, a second of sound at most.
  constexpr std::uintmax_t Enough = SdlBeeper::SampleRate * 2 * 6 / 10;  // 0.6 s
  {
    SdlBeeper beeper;
    const auto before = Clock::now();
    beeper.beep();
    const auto took = Clock::now() - before;
    EXPECT_LT(took, std::chrono::milliseconds(150)) << "beep waited for its tone";
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (sizeOf(file) < Enough && Clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  ::unsetenv("SDL_AUDIODRIVER");
  ::unsetenv("SDL_DISKAUDIOFILE");
  const std::vector<std::int16_t> samples = readSamples(file);
  std::filesystem::remove(file);
  ASSERT_GE(samples.size() * 2, Enough);

  std::size_t first = samples.size();
  std::size_t last = 0;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    if (samples[i] != 0) {
      first = std::min(first, i);
      last = i;
    }
  }
  ASSERT_LT(first, samples.size()) << "only silence was written";
  const double seconds = double(last - first + 1) / SdlBeeper::SampleRate;
  EXPECT_NEAR(seconds, 0.250, 0.005);

  // Sign changes over the tone's span: two per cycle.
  int crossings = 0;
  int sign = 0;
  for (std::size_t i = first; i <= last; ++i) {
    const int s = (samples[i] > 0) - (samples[i] < 0);
    if (s != 0 && sign != 0 && s != sign) ++crossings;
    if (s != 0) sign = s;
  }
  EXPECT_NEAR(crossings / 2.0 / seconds, 1000.0, 10.0);

  std::int16_t peak = 0;
  for (std::size_t i = first; i <= last; ++i) peak = std::max<std::int16_t>(peak, samples[i]);
  EXPECT_GT(peak, 3000) << "the tone is too quiet to hear";
}

TEST(Beep, WithoutAnAudioDeviceIsSilentAndHarmless) {
  ::setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  {
    SdlBeeper beeper;
    for (int i = 0; i < 3; ++i) {
      const auto before = Clock::now();
      beeper.beep();
      EXPECT_LT(Clock::now() - before, std::chrono::milliseconds(100));
    }
  }
  ::unsetenv("SDL_AUDIODRIVER");
  EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
}

// The program's thread beeps while other threads do too, and the beeper goes away while
// its first beep may still be opening the device: it leaves SDL's audio as it found it.
TEST(Beep, MayBeCalledFromSeveralThreads) {
  ::setenv("SDL_AUDIODRIVER", "dummy", 1);
  for (int round = 0; round < 3; ++round) {
    SdlBeeper beeper;
    std::thread other([&] {
      for (int i = 0; i < 20; ++i) beeper.beep();
    });
    for (int i = 0; i < 20; ++i) beeper.beep();
    other.join();
    if (round == 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ::unsetenv("SDL_AUDIODRIVER");
  EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
}

}  // namespace
