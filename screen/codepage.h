// Code page 437, the character set of the text screen: every byte is drawn with the shape
// that code page 437 gives it, including the graphic shapes of 1-31 and 127 (☺ … ▼, ⌂).
// Typed characters arrive as Unicode and are converted here before they enter the key queue.
#pragma once

#include <cstdint>

namespace screen {

// The Unicode character that byte b shows on the screen (0 for byte 0).
char32_t unicodeFromCodePage437(std::uint8_t b);

// The code page 437 byte that shows character c, or -1 when no byte shows it. The control
// characters U+0001-U+001F and U+007F give -1: their bytes show graphic shapes instead.
int codePage437From(char32_t c);

}  // namespace screen
