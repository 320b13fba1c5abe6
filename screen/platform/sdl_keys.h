// Key translation: SDL keyboard events become the key codes of the key queue.
//
// Typed characters come from SDL's text events, converted to code page 437; a character
// the code page lacks gives no key. Key-down events give the keys SDL sends no text for:
// Enter, Backspace, Tab, Escape and the Ctrl+letter control characters, and the extended
// keys (function keys, navigation keys, Alt combinations) with the PC BIOS keyboard codes.
#pragma once

#include <SDL.h>

#include "screen/keyboard.h"

namespace screen {

class SdlKeyTranslator {
 public:
  // Each writes the key codes the event gives into codes (room for `capacity`) and
  // returns how many it wrote. Call keyDown as soon as its event is taken from SDL's
  // queue: it looks ahead in the queue for the text the same key press typed.
  int keyDown(const SDL_KeyboardEvent& event, KeyCode* codes, int capacity);
  int textInput(const SDL_TextInputEvent& event, KeyCode* codes, int capacity);

 private:
  // The plain character of the last key press that gave a code: the text event SDL sends
  // for that same press adds nothing (Alt+A gives 0x1E and no "a").
  char32_t swallowText_ = 0;
};

}  // namespace screen
