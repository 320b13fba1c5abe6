// Fuzzes the key translation with random SDL keyboard and text events. Each event is
// either handed to the translator directly or, as the platform does, put into SDL's event
// queue and taken out again, so that a key press can find the text queued behind it. Every
// code produced must be a key code (1 to 255, or b * 256 + 255 with b from 1 to 255) and
// there must never be more of them than the room given, which is exactly the size of the
// array the codes go into, so that a write past it is an address error.
//
// Input: a byte with the room (0 to 8), then events: a kind byte, then for a key press
// the key (a byte: below 128 the character key of that code, else a key named by its
// scan code; 255 takes four more bytes as any key value), two bytes of modifiers and a
// repeat byte; for text, a length (0 to 32) and that many bytes, not necessarily UTF-8
// nor ending in a zero byte.
#include <SDL.h>

#include <cstdint>
#include <cstring>
#include <memory>

#include "fuzz/fuzz_support.h"
#include "screen/keyboard.h"
#include "screen/platform/sdl_keys.h"

namespace {

SDL_Keycode keyFrom(fuzz::Input& in) {
  const std::uint8_t k = in.byte();
  if (k < 128) return k;
  if (k == 255) return in.int32();
  return SDL_SCANCODE_TO_KEYCODE(k - 128 + SDL_SCANCODE_A);
}

SDL_Event eventFrom(fuzz::Input& in, std::uint8_t kind) {
  SDL_Event event{};
  if (kind & 1) {
    event.type = SDL_TEXTINPUT;
    const std::size_t length = in.byte() % (sizeof event.text.text + 1);
    const std::size_t taken = std::min(length, in.left());
    std::memcpy(event.text.text, in.take(taken), taken);
  } else {
    event.type = SDL_KEYDOWN;
    event.key.state = SDL_PRESSED;
    event.key.keysym.sym = keyFrom(in);
    event.key.keysym.scancode = SDL_GetScancodeFromKey(event.key.keysym.sym);
    event.key.keysym.mod = static_cast<Uint16>(in.byte() | in.byte() << 8);
    event.key.repeat = in.byte() & 1;
  }
  return event;
}

void translate(screen::SdlKeyTranslator& translator, const SDL_Event& event, int room) {
  // Exactly `room` codes of space: the sanitizer sees any write past them.
  const std::unique_ptr<screen::KeyCode[]> codes(new screen::KeyCode[room > 0 ? room : 1]);
  screen::KeyCode* target = room > 0 ? codes.get() : nullptr;
  const int written = event.type == SDL_KEYDOWN ? translator.keyDown(event.key, target, room)
                                                : translator.textInput(event.text, target, room);
  FUZZ_CHECK(written >= 0 && written <= room, "%d codes written with room for %d", written, room);
  for (int i = 0; i < written; ++i) {
    const screen::KeyCode code = codes[i];
    const bool character = code >= 1 && code <= 255;
    const bool extended = (code & 0xFF) == 0xFF && (code >> 8) >= 1 && (code >> 8) <= 255;
    FUZZ_CHECK(character || extended, "code %d (0x%x) is no key code", code, code);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Only the event queue: the translator looks into it, and no display is needed.
  if (SDL_Init(SDL_INIT_EVENTS) != 0) {
    std::fprintf(stderr, "SDL_Init: %s\n", SDL_GetError());
    std::abort();
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
  screen::SdlKeyTranslator translator;
  const int room = in.byte() % 9;
  while (!in.empty()) {
    const std::uint8_t kind = in.byte();
    if (kind & 2) {
      // Through SDL's queue: a run of events queued together, then taken in order.
      const int count = 1 + (kind >> 2) % 4;
      for (int i = 0; i < count && !in.empty(); ++i) {
        SDL_Event event = eventFrom(in, in.byte());
        SDL_PushEvent(&event);
      }
      SDL_Event event;
      while (SDL_PollEvent(&event) == 1)
        if (event.type == SDL_KEYDOWN || event.type == SDL_TEXTINPUT)
          translate(translator, event, room);
    } else {
      translate(translator, eventFrom(in, kind), room);
    }
  }
  return 0;
}
