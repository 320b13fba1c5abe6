// Key translation: SDL keyboard events become the key codes of the key queue.
#pragma once

#include <SDL.h>

#include "screen/keyboard.h"

namespace screen {

class SdlKeyTranslator {
 public:
  // Each writes the key codes the event gives into codes (room for `capacity`) and
  // returns how many it wrote.
  int keyDown(const SDL_KeyboardEvent& event, KeyCode* codes, int capacity);
  int textInput(const SDL_TextInputEvent& event, KeyCode* codes, int capacity);

 private:
  bool swallowText_ = false;  // the key press gave an extended code: its text adds nothing
};

}  // namespace screen
