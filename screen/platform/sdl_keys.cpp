#include "screen/platform/sdl_keys.h"

namespace screen {

// Placeholder: the full translation table replaces it.
int SdlKeyTranslator::keyDown(const SDL_KeyboardEvent& event, KeyCode* codes, int capacity) {
  if (capacity < 1) return 0;
  switch (event.keysym.sym) {
    case SDLK_RETURN: codes[0] = 13; return 1;
    case SDLK_BACKSPACE: codes[0] = 8; return 1;
    case SDLK_ESCAPE: codes[0] = 27; return 1;
    default: return 0;
  }
}

int SdlKeyTranslator::textInput(const SDL_TextInputEvent& event, KeyCode* codes, int capacity) {
  const auto c = static_cast<unsigned char>(event.text[0]);
  if (capacity < 1 || c == 0 || c > 127) return 0;
  codes[0] = c;
  return 1;
}

}  // namespace screen
