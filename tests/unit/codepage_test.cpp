// Code page 437 and Unicode: typed characters become the bytes whose shapes show them.
#include <gtest/gtest.h>

#include "screen/codepage.h"

namespace {

using screen::codePage437From;
using screen::unicodeFromCodePage437;

TEST(CodePage, EveryByteComesBackFromTheCharacterItShows) {
  for (int b = 0; b < 256; ++b) {
    const char32_t c = unicodeFromCodePage437(static_cast<std::uint8_t>(b));
    EXPECT_EQ(codePage437From(c), b) << "byte " << b << " shows U+" << std::hex << unsigned(c);
  }
}

TEST(CodePage, NoTwoBytesShowTheSameCharacter) {
  for (int a = 0; a < 256; ++a) {
    for (int b = a + 1; b < 256; ++b) {
      EXPECT_NE(unicodeFromCodePage437(static_cast<std::uint8_t>(a)),
                unicodeFromCodePage437(static_cast<std::uint8_t>(b)))
          << a << " and " << b;
    }
  }
}

TEST(CodePage, KnownCharacters) {
  struct Case {
    char32_t character;
    int byte;
  };
  const Case cases[] = {
      {U'A', 0x41}, {U'~', 0x7E}, {U' ', 0x20}, {U'ñ', 0xA4},      {U'Ñ', 0xA5},      {U'é', 0x82},
      {U'Ç', 0x80}, {U'½', 0xAB}, {U'£', 0x9C}, {U'¿', 0xA8},      {U'¡', 0xAD},      {U'á', 0xA0},
      {U'ü', 0x81}, {U'ß', 0xE1}, {U'µ', 0xE6}, {U'°', 0xF8},      {U'\u00A0', 0xFF}, {U'☺', 0x01},
      {U'♥', 0x03}, {U'▼', 0x1F}, {U'⌂', 0x7F}, {U'░', 0xB0},      {U'╬', 0xCE},      {U'█', 0xDB},
      {U'■', 0xFE}, {U'β', 0xE1}, {U'μ', 0xE6}, {U'\u2126', 0xEA},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(codePage437From(c.character), c.byte) << "U+" << std::hex << unsigned(c.character);
  }
}

TEST(CodePage, CharactersItLacksGiveNone) {
  // Control characters: their bytes show graphic shapes, not the controls.
  for (const char32_t c : {U'€', U'ő', U'Ж', U'\u0001', U'\t', U'\u001F', U'\u007F', U'\u0080',
                           U'\u00A4', U'😀', U'\uFFFD', char32_t{0x110000}}) {
    EXPECT_EQ(codePage437From(c), -1) << "U+" << std::hex << unsigned(c);
  }
}

}  // namespace
