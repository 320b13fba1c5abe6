// Key translation: SDL's keyboard events, built here as SDL sends them for one key press
// (a key-down event, then for a typing key its text event), become key queue codes.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstring>
#include <string>
#include <vector>

#include "screen/platform/sdl_keys.h"

namespace {

using screen::extendedKey;
using screen::KeyCode;
using screen::SdlKeyTranslator;
using Codes = std::vector<KeyCode>;

// Runs SDL's event queue, with no display, so that a press's text event waits behind its
// key-down event as it does when the window system delivers them.
class KeyPress : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0) << SDL_GetError(); }
  void TearDown() override { SDL_QuitSubSystem(SDL_INIT_EVENTS); }

  // One key press: the key-down event with the modifiers held, and the text it typed
  // ("" for none). Returns every code the translator gave for the press.
  Codes press(SDL_Keycode key, Uint16 mod = KMOD_NONE, const char* text = "") {
    SDL_Event down{};
    down.type = SDL_KEYDOWN;
    down.key.state = SDL_PRESSED;
    down.key.keysym.sym = key;
    down.key.keysym.mod = mod;
    if (*text != '\0') {
      SDL_Event typed{};
      typed.type = SDL_TEXTINPUT;
      std::strncpy(typed.text.text, text, sizeof typed.text.text - 1);
      EXPECT_EQ(SDL_PushEvent(&typed), 1) << SDL_GetError();
    }
    Codes codes = feed(down);
    SDL_Event queued{};
    while (SDL_PollEvent(&queued) == 1) {
      const Codes more = feed(queued);
      codes.insert(codes.end(), more.begin(), more.end());
    }
    return codes;
  }

  Codes feed(const SDL_Event& event) {
    KeyCode codes[8] = {};
    int n = 0;
    if (event.type == SDL_KEYDOWN) n = translator_.keyDown(event.key, codes, 8);
    if (event.type == SDL_TEXTINPUT) n = translator_.textInput(event.text, codes, 8);
    return Codes(codes, codes + n);
  }

  SdlKeyTranslator translator_;
};

constexpr KeyCode x(int b) {
  return extendedKey(b);
}

TEST_F(KeyPress, TypedCharactersArriveInCodePage437) {
  struct Case {
    SDL_Keycode key;
    Uint16 mod;
    const char* text;
    KeyCode expected;
  };
  const Case cases[] = {
      {'a', KMOD_NONE, "a", 'a'},           {'a', KMOD_LSHIFT, "A", 'A'},
      {'a', KMOD_CAPS, "A", 'A'},           {SDLK_SPACE, KMOD_NONE, " ", ' '},
      {'1', KMOD_RSHIFT, "!", '!'},         {'7', KMOD_NONE, "7", '7'},
      {0xF1, KMOD_NONE, "ñ", 0xA4},         {0xF1, KMOD_LSHIFT, "Ñ", 0xA5},
      {'e', KMOD_NONE, "é", 0x82},          {0xE7, KMOD_LSHIFT, "Ç", 0x80},
      {'5', KMOD_MODE, "½", 0xAB},          {'3', KMOD_MODE, "£", 0x9C},
      {'q', KMOD_MODE, "@", '@'},           {SDLK_KP_8, KMOD_NUM, "8", '8'},
      {SDLK_KP_PERIOD, KMOD_NUM, ".", '.'}, {SDLK_KP_PLUS, KMOD_NONE, "+", '+'},
      {'a', KMOD_NONE, "\xC2\xA0", 0xFF},  // a no-break space from some layout
  };
  for (const Case& c : cases) {
    EXPECT_EQ(press(c.key, c.mod, c.text), Codes{c.expected}) << c.text;
  }
}

TEST_F(KeyPress, CharactersCodePage437LacksGiveNoKey) {
  EXPECT_EQ(press('e', KMOD_MODE, "€"), Codes{});
  EXPECT_EQ(press('e', KMOD_LCTRL | KMOD_LALT, "€"), Codes{});  // AltGr as Ctrl+Alt
  EXPECT_EQ(press('s', KMOD_NONE, "ś"), Codes{});
  EXPECT_EQ(press('a', KMOD_NONE, "\xFF"), Codes{});               // not UTF-8
  EXPECT_EQ(press(SDLK_UNKNOWN, KMOD_NONE, "\xC1\xA1"), Codes{});  // "a", overlong
}

TEST_F(KeyPress, EveryCharacterOfAComposedTextArrives) {
  EXPECT_EQ(press(SDLK_UNKNOWN, KMOD_NONE, "ñé€a"), (Codes{0xA4, 0x82, 'a'}));
}

TEST_F(KeyPress, ControlKeysGiveTheirCharacters) {
  EXPECT_EQ(press(SDLK_RETURN), Codes{13});
  EXPECT_EQ(press(SDLK_KP_ENTER), Codes{13});
  EXPECT_EQ(press(SDLK_RETURN, KMOD_RSHIFT), Codes{13});
  EXPECT_EQ(press(SDLK_RETURN, KMOD_LCTRL), Codes{10});
  EXPECT_EQ(press(SDLK_BACKSPACE), Codes{8});
  EXPECT_EQ(press(SDLK_BACKSPACE, KMOD_RCTRL), Codes{127});
  EXPECT_EQ(press(SDLK_TAB), Codes{9});
  EXPECT_EQ(press(SDLK_ESCAPE), Codes{27});
  EXPECT_EQ(press(SDLK_SPACE, KMOD_LCTRL), Codes{' '});
}

TEST_F(KeyPress, CtrlWithALetterGivesItsControlCharacter) {
  for (char letter = 'a'; letter <= 'z'; ++letter) {
    const KeyCode expected = letter - 'a' + 1;
    EXPECT_EQ(press(letter, KMOD_LCTRL), Codes{expected}) << letter;
    EXPECT_EQ(press(letter, KMOD_RCTRL | KMOD_LSHIFT), Codes{expected}) << letter;
  }
  EXPECT_EQ(press('m', KMOD_LCTRL), Codes{13});  // ends a line like Enter
  EXPECT_EQ(press('j', KMOD_LCTRL), Codes{10});  // a line feed
  EXPECT_EQ(press('h', KMOD_LCTRL), Codes{8});   // erases like Backspace
  EXPECT_EQ(press('[', KMOD_LCTRL), Codes{27});
}

TEST_F(KeyPress, FunctionKeysInEveryModifierColumn) {
  // F1-F10 run in steps of one from a base per modifier; F11 and F12 came later.
  for (int i = 0; i < 10; ++i) {
    const SDL_Keycode key = SDLK_F1 + i;
    EXPECT_EQ(press(key), Codes{x(0x3B + i)}) << "F" << i + 1;
    EXPECT_EQ(press(key, KMOD_LSHIFT), Codes{x(0x54 + i)}) << "Shift+F" << i + 1;
    EXPECT_EQ(press(key, KMOD_RSHIFT), Codes{x(0x54 + i)}) << "Shift+F" << i + 1;
    EXPECT_EQ(press(key, KMOD_LCTRL), Codes{x(0x5E + i)}) << "Ctrl+F" << i + 1;
    EXPECT_EQ(press(key, KMOD_RCTRL), Codes{x(0x5E + i)}) << "Ctrl+F" << i + 1;
    EXPECT_EQ(press(key, KMOD_LALT), Codes{x(0x68 + i)}) << "Alt+F" << i + 1;
    EXPECT_EQ(press(key, KMOD_RALT), Codes{x(0x68 + i)}) << "Alt+F" << i + 1;
  }
  const KeyCode f11[] = {x(0x85), x(0x87), x(0x89), x(0x8B)};
  const KeyCode f12[] = {x(0x86), x(0x88), x(0x8A), x(0x8C)};
  const Uint16 mods[] = {KMOD_NONE, KMOD_LSHIFT, KMOD_LCTRL, KMOD_LALT};
  for (int m = 0; m < 4; ++m) {
    EXPECT_EQ(press(SDLK_F11, mods[m]), Codes{f11[m]}) << m;
    EXPECT_EQ(press(SDLK_F12, mods[m]), Codes{f12[m]}) << m;
  }
  EXPECT_EQ(press(SDLK_F4, KMOD_LALT), Codes{x(0x6B)});  // the close request's code
}

TEST_F(KeyPress, AltCountsBeforeCtrlAndCtrlBeforeShift) {
  EXPECT_EQ(press(SDLK_F1, KMOD_LALT | KMOD_LCTRL | KMOD_LSHIFT), Codes{x(0x68)});
  EXPECT_EQ(press(SDLK_F1, KMOD_RCTRL | KMOD_RSHIFT), Codes{x(0x5E)});
  EXPECT_EQ(press(SDLK_LEFT, KMOD_RALT | KMOD_RCTRL), Codes{x(0x9B)});
  // Caps Lock, Num Lock and the Windows keys leave the column alone.
  EXPECT_EQ(press(SDLK_F2, KMOD_CAPS | KMOD_NUM | KMOD_LGUI), Codes{x(0x3C)});
}

TEST_F(KeyPress, NavigationKeysPlainShiftCtrlAlt) {
  struct Case {
    SDL_Keycode key;
    int plain, ctrl, alt;
  };
  const Case cases[] = {
      {SDLK_UP, 0x48, 0x8D, 0x98},     {SDLK_DOWN, 0x50, 0x91, 0xA0},
      {SDLK_LEFT, 0x4B, 0x73, 0x9B},   {SDLK_RIGHT, 0x4D, 0x74, 0x9D},
      {SDLK_HOME, 0x47, 0x77, 0x97},   {SDLK_END, 0x4F, 0x75, 0x9F},
      {SDLK_PAGEUP, 0x49, 0x84, 0x99}, {SDLK_PAGEDOWN, 0x51, 0x76, 0xA1},
      {SDLK_INSERT, 0x52, 0x92, 0xA2}, {SDLK_DELETE, 0x53, 0x93, 0xA3},
  };
  for (const Case& c : cases) {
    const std::string name = SDL_GetKeyName(c.key);
    EXPECT_EQ(press(c.key), Codes{x(c.plain)}) << name;
    EXPECT_EQ(press(c.key, KMOD_LSHIFT), Codes{x(c.plain)}) << name;
    EXPECT_EQ(press(c.key, KMOD_RCTRL), Codes{x(c.ctrl)}) << name;
    EXPECT_EQ(press(c.key, KMOD_LALT), Codes{x(c.alt)}) << name;
  }
}

TEST_F(KeyPress, KeypadFollowsNumLock) {
  struct Case {
    SDL_Keycode key;
    const char* digit;
    int navigation;  // 0: carries none
    int ctrl;
  };
  const Case cases[] = {
      {SDLK_KP_8, "8", 0x48, 0x8D},      {SDLK_KP_2, "2", 0x50, 0x91}, {SDLK_KP_4, "4", 0x4B, 0x73},
      {SDLK_KP_6, "6", 0x4D, 0x74},      {SDLK_KP_7, "7", 0x47, 0x77}, {SDLK_KP_1, "1", 0x4F, 0x75},
      {SDLK_KP_9, "9", 0x49, 0x84},      {SDLK_KP_3, "3", 0x51, 0x76}, {SDLK_KP_0, "0", 0x52, 0x92},
      {SDLK_KP_PERIOD, ".", 0x53, 0x93}, {SDLK_KP_5, "5", 0, 0},
  };
  for (const Case& c : cases) {
    const std::string name = SDL_GetKeyName(c.key);
    const Codes navigation = c.navigation != 0 ? Codes{x(c.navigation)} : Codes{};
    const Codes ctrl = c.ctrl != 0 ? Codes{x(c.ctrl)} : Codes{};
    // Num Lock off: the navigation key, no text.
    EXPECT_EQ(press(c.key), navigation) << name;
    EXPECT_EQ(press(c.key, KMOD_LCTRL), ctrl) << name;
    // Num Lock on: the character; Shift turns it round either way.
    EXPECT_EQ(press(c.key, KMOD_NUM, c.digit), Codes{KeyCode(c.digit[0])}) << name;
    EXPECT_EQ(press(c.key, KMOD_NUM | KMOD_LSHIFT), navigation) << name;
    EXPECT_EQ(press(c.key, KMOD_RSHIFT, c.digit), Codes{KeyCode(c.digit[0])}) << name;
  }
}

TEST_F(KeyPress, AltWithALetterGivesItsScanCodeAndNotTheLetter) {
  // The letter rows of the keyboard, each numbered on from its first key.
  const struct {
    const char* letters;
    int first;
  } rows[] = {{"qwertyuiop", 0x10}, {"asdfghjkl", 0x1E}, {"zxcvbnm", 0x2C}};
  for (const auto& row : rows) {
    for (int i = 0; row.letters[i] != '\0'; ++i) {
      const char letter[] = {row.letters[i], '\0'};
      const char upper[] = {char(row.letters[i] - 'a' + 'A'), '\0'};
      EXPECT_EQ(press(letter[0], KMOD_LALT, letter), Codes{x(row.first + i)}) << letter;
      EXPECT_EQ(press(letter[0], KMOD_RALT | KMOD_LSHIFT, upper), Codes{x(row.first + i)}) << upper;
      EXPECT_EQ(press(letter[0], KMOD_LALT | KMOD_CAPS, upper), Codes{x(row.first + i)}) << upper;
    }
  }
}

TEST_F(KeyPress, AltWithADigitOrPunctuation) {
  const char* digits = "1234567890";
  for (int i = 0; i < 10; ++i) {
    const char digit[] = {digits[i], '\0'};
    EXPECT_EQ(press(digit[0], KMOD_LALT, digit), Codes{x(0x78 + i)}) << digit;
  }
  struct Case {
    SDL_Keycode key;
    int alt;
  };
  const Case cases[] = {{'-', 0x82}, {'=', 0x83},  {'[', 0x1A}, {']', 0x1B},
                        {';', 0x27}, {'\'', 0x28}, {'`', 0x29}, {'\\', 0x2B},
                        {',', 0x33}, {'.', 0x34},  {'/', 0x35}};
  for (const Case& c : cases) {
    const char typed[] = {char(c.key), '\0'};
    EXPECT_EQ(press(c.key, KMOD_RALT, typed), Codes{x(c.alt)}) << typed;
  }
  // Shift+Alt+1 types "!", which is not the key's own character: the "!" arrives.
  EXPECT_EQ(press('1', KMOD_LALT | KMOD_LSHIFT, "!"), Codes{'!'});
}

TEST_F(KeyPress, KeysWithoutACharacterOfTheirOwnYieldToTheirText) {
  // A layout that types a character with Alt on a key without one: the character wins.
  EXPECT_EQ(press(SDLK_F1, KMOD_LALT, "x"), Codes{'x'});
}

TEST_F(KeyPress, AltGrCharactersArriveAsCharacters) {
  // Right Alt as AltGr: SDL reports Alt, or Ctrl+Alt, and the text is the composed one.
  EXPECT_EQ(press('q', KMOD_RALT, "@"), Codes{'@'});
  EXPECT_EQ(press('2', KMOD_LCTRL | KMOD_RALT, "@"), Codes{'@'});
  EXPECT_EQ(press('1', KMOD_RALT, "|"), Codes{'|'});
  EXPECT_EQ(press('n', KMOD_RALT, "ñ"), Codes{0xA4});
}

TEST_F(KeyPress, OtherCombinations) {
  EXPECT_EQ(press(SDLK_TAB, KMOD_LSHIFT), Codes{x(0x0F)});
  EXPECT_EQ(press(SDLK_TAB, KMOD_LCTRL), Codes{x(0x94)});
  EXPECT_EQ(press(SDLK_TAB, KMOD_LALT), Codes{x(0xA5)});
  EXPECT_EQ(press(SDLK_BACKSPACE, KMOD_LALT), Codes{x(0x0E)});
  EXPECT_EQ(press(SDLK_ESCAPE, KMOD_LALT), Codes{x(0x01)});
  EXPECT_EQ(press('2', KMOD_LCTRL, "2"), Codes{x(0x03)});
  EXPECT_EQ(press(SDLK_KP_MINUS, KMOD_LCTRL, "-"), Codes{x(0x8E)});
  EXPECT_EQ(press(SDLK_KP_MULTIPLY, KMOD_RALT, "*"), Codes{x(0x37)});
}

TEST_F(KeyPress, AltEnterAndModifiersAloneGiveNothing) {
  EXPECT_EQ(press(SDLK_RETURN, KMOD_LALT), Codes{});
  EXPECT_EQ(press(SDLK_KP_ENTER, KMOD_RALT), Codes{});
  for (const SDL_Keycode key :
       {SDLK_LSHIFT, SDLK_RSHIFT, SDLK_LCTRL, SDLK_RCTRL, SDLK_LALT, SDLK_RALT, SDLK_CAPSLOCK,
        SDLK_NUMLOCKCLEAR, SDLK_MODE, SDLK_LGUI, SDLK_SCROLLLOCK}) {
    EXPECT_EQ(press(key), Codes{}) << SDL_GetKeyName(key);
    EXPECT_EQ(press(key, KMOD_LSHIFT | KMOD_LCTRL | KMOD_LALT), Codes{}) << SDL_GetKeyName(key);
  }
}

TEST_F(KeyPress, HeldKeyGivesOneCodePerRepeat) {
  SDL_KeyboardEvent held{};
  held.type = SDL_KEYDOWN;
  held.repeat = 1;
  held.keysym.sym = SDLK_UP;
  KeyCode codes[4] = {};
  for (int i = 0; i < 3; ++i) EXPECT_EQ(translator_.keyDown(held, codes, 4), 1);
  EXPECT_EQ(codes[0], x(0x48));
}

TEST_F(KeyPress, NoRoomMeansNoCode) {
  SDL_KeyboardEvent down{};
  down.type = SDL_KEYDOWN;
  down.keysym.sym = SDLK_F1;
  SDL_TextInputEvent typed{};
  typed.type = SDL_TEXTINPUT;
  std::strcpy(typed.text, "ab");
  KeyCode codes[2] = {-1, -1};
  EXPECT_EQ(translator_.keyDown(down, codes, 0), 0);
  EXPECT_EQ(translator_.textInput(typed, codes, 1), 1);
  EXPECT_EQ(codes[0], 'a');
  EXPECT_EQ(codes[1], -1);
}

// Without SDL's event queue to look ahead in, the text of a press that gave an extended
// code is still recognised by the key's own character when it comes.
TEST(KeyTranslatorAlone, TextOfAnExtendedPressAddsNothing) {
  ASSERT_EQ(SDL_WasInit(SDL_INIT_EVENTS), 0u);
  SdlKeyTranslator translator;
  KeyCode codes[4] = {};
  SDL_KeyboardEvent down{};
  down.type = SDL_KEYDOWN;
  down.keysym.sym = 'a';
  down.keysym.mod = KMOD_LALT;
  SDL_TextInputEvent typed{};
  typed.type = SDL_TEXTINPUT;
  std::strcpy(typed.text, "a");

  ASSERT_EQ(translator.keyDown(down, codes, 4), 1);
  EXPECT_EQ(codes[0], x(0x1E));
  EXPECT_EQ(translator.textInput(typed, codes, 4), 0);

  // A press whose key-down gave a code but sent no text (as Alt+A on some systems) must
  // not cost the next press its text.
  ASSERT_EQ(translator.keyDown(down, codes, 4), 1);
  down.keysym.mod = KMOD_NONE;
  EXPECT_EQ(translator.keyDown(down, codes, 4), 0);
  ASSERT_EQ(translator.textInput(typed, codes, 4), 1);
  EXPECT_EQ(codes[0], 'a');

  // Nor is a second text of the same character swallowed.
  down.keysym.mod = KMOD_LALT;
  ASSERT_EQ(translator.keyDown(down, codes, 4), 1);
  EXPECT_EQ(translator.textInput(typed, codes, 4), 0);
  EXPECT_EQ(translator.textInput(typed, codes, 4), 1);
}

}  // namespace
