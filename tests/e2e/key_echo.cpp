// key_echo: opens the screen with the SDL platform and writes every key it takes from the
// key queue to standard output, one key a line, each character of its key text as two hex
// digits ("61", "FF 3B"). F12 ends it after writing its own line. "ready" comes first,
// once the window is up, so that a test knows when to press keys.
#include <chrono>
#include <cstdio>
#include <thread>

#include "screen/display.h"
#include "screen/keyboard.h"
#include "screen/platform/sdl_platform.h"

int main() {
  screen::usePlatform(screen::makeSdlPlatform);
  screen::openScreen();
  if (!screen::screenReady()) screen::endProgram(1);
  std::printf("ready\n");
  std::fflush(stdout);
  const screen::KeyText f12 = "\xFF\x86";
  for (;;) {
    const screen::KeyText key = screen::pollKey();
    if (key.empty()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      continue;
    }
    for (std::size_t i = 0; i < key.size(); ++i) {
      std::printf(i == 0 ? "%02X" : " %02X", static_cast<unsigned char>(key[i]));
    }
    std::printf("\n");
    std::fflush(stdout);
    if (key == f12) screen::endProgram(0);
  }
}
