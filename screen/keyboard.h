// Keyboard and timer: the key queue filled by the display thread, polling it, editing a
// typed line with echo, and the monotonic clock.
#pragma once

#include <chrono>
#include <cstdint>
#include <string_view>

#include "screen/text.h"

namespace screen {

// A key code: 1-255 a code page 437 character, b * 256 + 255 an extended key.
using KeyCode = std::int32_t;
// "" for no key, one character, or the character 255 and an extended key's second one.
using KeyText = Text;

constexpr KeyCode extendedKey(int secondCharacter) {
  return secondCharacter * 256 + 255;
}

constexpr KeyCode KeyUp = extendedKey(0x48);
constexpr KeyCode KeyDown = extendedKey(0x50);
constexpr KeyCode KeyLeft = extendedKey(0x4B);
constexpr KeyCode KeyRight = extendedKey(0x4D);
constexpr KeyCode KeyHome = extendedKey(0x47);
constexpr KeyCode KeyEnd = extendedKey(0x4F);
constexpr KeyCode KeyDelete = extendedKey(0x53);
constexpr KeyCode KeyClose = extendedKey(0x6B);

// Appends a key to the queue, losing the oldest when it is full. Called with the display
// lock held (by the display thread); never allocates.
void pushKey(KeyCode code);
// Takes the oldest key from the queue; "" when none waits. Never waits for one.
KeyText pollKey();
bool keyWaiting();
// Sleeps until a key is queued or the timeout passes, whichever comes first.
void waitForKey(std::chrono::milliseconds timeout);
// Empties the queue: the queue lives for the whole run, so tests start from an empty one.
void clearKeys();

// Edits one line with echo at the cursor and returns it without its ending key.
Text readLine(std::string_view prompt, bool questionMark, bool newLineAfter);

// Seconds from a fixed origin, from a monotonic clock chosen at the first call.
double timerSeconds();

}  // namespace screen
