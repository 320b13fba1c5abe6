#include "screen/platform/sdl_keys.h"

#include <algorithm>
#include <array>
#include <span>

#include "screen/codepage.h"

namespace screen {
namespace {

// ---------------------------------------------------------------------------------------
// The translation table
// ---------------------------------------------------------------------------------------

// One key and what it gives with each modifier: 0 nothing, 1-255 a character,
// extendedKey(b) an extended key. Alt counts before Ctrl, Ctrl before Shift.
struct KeyRow {
  SDL_Keycode key = SDLK_UNKNOWN;
  KeyCode plain = 0;
  KeyCode shift = 0;
  KeyCode ctrl = 0;
  KeyCode alt = 0;
};

constexpr KeyCode x(int secondCharacter) {
  return extendedKey(secondCharacter);
}

// F1-F12 in all four columns; Alt+F4 is also the window's close request (0x6B).
constexpr KeyRow FunctionKeys[] = {
    {SDLK_F1, x(0x3B), x(0x54), x(0x5E), x(0x68)},  {SDLK_F2, x(0x3C), x(0x55), x(0x5F), x(0x69)},
    {SDLK_F3, x(0x3D), x(0x56), x(0x60), x(0x6A)},  {SDLK_F4, x(0x3E), x(0x57), x(0x61), x(0x6B)},
    {SDLK_F5, x(0x3F), x(0x58), x(0x62), x(0x6C)},  {SDLK_F6, x(0x40), x(0x59), x(0x63), x(0x6D)},
    {SDLK_F7, x(0x41), x(0x5A), x(0x64), x(0x6E)},  {SDLK_F8, x(0x42), x(0x5B), x(0x65), x(0x6F)},
    {SDLK_F9, x(0x43), x(0x5C), x(0x66), x(0x70)},  {SDLK_F10, x(0x44), x(0x5D), x(0x67), x(0x71)},
    {SDLK_F11, x(0x85), x(0x87), x(0x89), x(0x8B)}, {SDLK_F12, x(0x86), x(0x88), x(0x8A), x(0x8C)},
};

// The grey navigation keys. Shift leaves their codes as they are.
constexpr KeyRow NavigationKeys[] = {
    {SDLK_UP, x(0x48), x(0x48), x(0x8D), x(0x98)},
    {SDLK_DOWN, x(0x50), x(0x50), x(0x91), x(0xA0)},
    {SDLK_LEFT, x(0x4B), x(0x4B), x(0x73), x(0x9B)},
    {SDLK_RIGHT, x(0x4D), x(0x4D), x(0x74), x(0x9D)},
    {SDLK_HOME, x(0x47), x(0x47), x(0x77), x(0x97)},
    {SDLK_END, x(0x4F), x(0x4F), x(0x75), x(0x9F)},
    {SDLK_PAGEUP, x(0x49), x(0x49), x(0x84), x(0x99)},
    {SDLK_PAGEDOWN, x(0x51), x(0x51), x(0x76), x(0xA1)},
    {SDLK_INSERT, x(0x52), x(0x52), x(0x92), x(0xA2)},
    {SDLK_DELETE, x(0x53), x(0x53), x(0x93), x(0xA3)},
};

// The keypad with Num Lock off (or Shift held with it on): the navigation keys it carries,
// plain and with Ctrl. Keypad 5 carries none. With Alt the keypad gives nothing (it
// composed character codes on the PC). With Num Lock on the keypad types its characters.
constexpr KeyRow KeypadNavigation[] = {
    {SDLK_KP_8, x(0x48), 0, x(0x8D), 0},
    {SDLK_KP_2, x(0x50), 0, x(0x91), 0},
    {SDLK_KP_4, x(0x4B), 0, x(0x73), 0},
    {SDLK_KP_6, x(0x4D), 0, x(0x74), 0},
    {SDLK_KP_7, x(0x47), 0, x(0x77), 0},
    {SDLK_KP_1, x(0x4F), 0, x(0x75), 0},
    {SDLK_KP_9, x(0x49), 0, x(0x84), 0},
    {SDLK_KP_3, x(0x51), 0, x(0x76), 0},
    {SDLK_KP_0, x(0x52), 0, x(0x92), 0},
    {SDLK_KP_PERIOD, x(0x53), 0, x(0x93), 0},
    {SDLK_KP_5, 0, 0, 0, 0},
};

// Keys with control characters, which SDL sends no text for. Alt+Enter belongs to the
// display (a change of form) and gives no key; Ctrl+Enter is a line feed as on the PC.
// Ctrl+Space gives a space, since SDL sends no text for it.
constexpr KeyRow EditingKeys[] = {
    {SDLK_RETURN, 13, 13, 10, 0},         {SDLK_KP_ENTER, 13, 13, 10, 0},
    {SDLK_BACKSPACE, 8, 8, 127, x(0x0E)}, {SDLK_TAB, 9, x(0x0F), x(0x94), x(0xA5)},
    {SDLK_ESCAPE, 27, 27, 27, x(0x01)},   {SDLK_SPACE, 0, 0, ' ', 0},
};

// Letters type themselves through text; Ctrl gives the control characters 1-26 and Alt
// the letter key's scan code.
constexpr KeyRow letter(char c, int scanCode) {
  return {c, 0, 0, c - 'a' + 1, x(scanCode)};
}
constexpr KeyRow Letters[] = {
    letter('q', 0x10), letter('w', 0x11), letter('e', 0x12), letter('r', 0x13), letter('t', 0x14),
    letter('y', 0x15), letter('u', 0x16), letter('i', 0x17), letter('o', 0x18), letter('p', 0x19),
    letter('a', 0x1E), letter('s', 0x1F), letter('d', 0x20), letter('f', 0x21), letter('g', 0x22),
    letter('h', 0x23), letter('j', 0x24), letter('k', 0x25), letter('l', 0x26), letter('z', 0x2C),
    letter('x', 0x2D), letter('c', 0x2E), letter('v', 0x2F), letter('b', 0x30), letter('n', 0x31),
    letter('m', 0x32),
};

// The digit row: Alt+1 to Alt+0 are 0x78-0x81; Ctrl+2 is the PC's NUL key (0x03) and
// Ctrl+6 its control character 30.
constexpr KeyRow Digits[] = {
    {'1', 0, 0, 0, x(0x78)}, {'2', 0, 0, x(0x03), x(0x79)}, {'3', 0, 0, 0, x(0x7A)},
    {'4', 0, 0, 0, x(0x7B)}, {'5', 0, 0, 0, x(0x7C)},       {'6', 0, 0, 30, x(0x7D)},
    {'7', 0, 0, 0, x(0x7E)}, {'8', 0, 0, 0, x(0x7F)},       {'9', 0, 0, 0, x(0x80)},
    {'0', 0, 0, 0, x(0x81)},
};

// Punctuation keys: Alt gives the key's scan code (Alt+- and Alt+= their own codes), Ctrl
// the control characters the PC gave for [ \ ] -.
constexpr KeyRow Punctuation[] = {
    {'-', 0, 0, 31, x(0x82)}, {'=', 0, 0, 0, x(0x83)},   {'[', 0, 0, 27, x(0x1A)},
    {']', 0, 0, 29, x(0x1B)}, {';', 0, 0, 0, x(0x27)},   {'\'', 0, 0, 0, x(0x28)},
    {'`', 0, 0, 0, x(0x29)},  {'\\', 0, 0, 28, x(0x2B)}, {',', 0, 0, 0, x(0x33)},
    {'.', 0, 0, 0, x(0x34)},  {'/', 0, 0, 0, x(0x35)},
};

// Keypad operators type themselves through text; Ctrl and Alt give the PC's codes.
constexpr KeyRow KeypadOperators[] = {
    {SDLK_KP_DIVIDE, 0, 0, x(0x95), x(0xA4)},
    {SDLK_KP_MULTIPLY, 0, 0, x(0x96), x(0x37)},
    {SDLK_KP_MINUS, 0, 0, x(0x8E), x(0x4A)},
    {SDLK_KP_PLUS, 0, 0, x(0x90), x(0x4E)},
};

constexpr std::span<const KeyRow> RowGroups[] = {
    FunctionKeys, NavigationKeys, KeypadNavigation, EditingKeys,
    Letters,      Digits,         Punctuation,      KeypadOperators,
};

const KeyRow* findRow(SDL_Keycode key) {
  for (const auto group : RowGroups) {
    for (const KeyRow& row : group) {
      if (row.key == key) return &row;
    }
  }
  return nullptr;
}

bool isKeypadNavigation(const KeyRow* row) {
  return row >= std::begin(KeypadNavigation) && row < std::end(KeypadNavigation);
}

// ---------------------------------------------------------------------------------------
// Characters
// ---------------------------------------------------------------------------------------

// The character the key types without modifiers, 0 for a key that has none of its own.
char32_t ownCharacter(const KeyRow* row) {
  switch (row->key) {
    case SDLK_KP_DIVIDE:
      return '/';
    case SDLK_KP_MULTIPLY:
      return '*';
    case SDLK_KP_MINUS:
      return '-';
    case SDLK_KP_PLUS:
      return '+';
    default:
      break;
  }
  // Keypad digit keys count as having none: they give a code only in their navigation role.
  return row->key >= ' ' && row->key < 0x7F ? static_cast<char32_t>(row->key) : 0;
}

// Whether typed is the key's own character: a letter counts in either case.
bool isOwnCharacter(char32_t typed, char32_t own) {
  if (own == 0) return false;
  return typed == own || (own >= 'a' && own <= 'z' && typed == own - 'a' + 'A');
}

// Decodes the UTF-8 character at text[i] and moves i past it; 0 at the end of the text,
// and U+FFFD for a malformed sequence, which no byte shows.
char32_t nextCharacter(const char* text, std::size_t size, std::size_t& i) {
  const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
  if (i >= size || byte(i) == 0) return 0;
  const unsigned char lead = byte(i++);
  if (lead < 0x80) return lead;
  int more = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
  if (more < 0 || lead < 0xC2 || lead > 0xF4) return 0xFFFD;  // C0, C1: overlong
  char32_t c = lead & (0x3F >> more);
  for (; more > 0; --more) {
    if (i >= size || (byte(i) & 0xC0) != 0x80) return 0xFFFD;
    c = (c << 6) | (byte(i++) & 0x3F);
  }
  return c;
}

// The first character of the text that SDL queued for the key press just taken from its
// queue, 0 when it queued none. SDL queues a press's text right behind its key-down event,
// before the next key event; none is found when SDL's event queue is not running.
char32_t queuedText() {
  constexpr int LookAhead = 8;
  SDL_Event ahead[LookAhead];
  const int n = SDL_PeepEvents(ahead, LookAhead, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT);
  for (int i = 0; i < n; ++i) {
    if (ahead[i].type == SDL_TEXTINPUT) {
      std::size_t at = 0;
      return nextCharacter(ahead[i].text.text, sizeof ahead[i].text.text, at);
    }
    if (ahead[i].type == SDL_KEYDOWN || ahead[i].type == SDL_KEYUP) break;
  }
  return 0;
}

}  // namespace

int SdlKeyTranslator::keyDown(const SDL_KeyboardEvent& event, KeyCode* codes, int capacity) {
  swallowText_ = 0;
  const KeyRow* row = findRow(event.keysym.sym);
  if (row == nullptr || capacity < 1) return 0;

  const Uint16 mod = event.keysym.mod;
  const bool alt = (mod & KMOD_ALT) != 0;
  const bool ctrl = (mod & KMOD_CTRL) != 0;
  bool shift = (mod & KMOD_SHIFT) != 0;
  if (isKeypadNavigation(row)) {
    // Shift turns Num Lock round for the keypad, as on the PC and in X11; with the
    // keypad in its character role its text event types the character.
    const bool numLock = (mod & KMOD_NUM) != 0;
    if (numLock != shift) return 0;
    shift = false;
  }
  const KeyCode code = alt ? row->alt : ctrl ? row->ctrl : shift ? row->shift : row->plain;
  if (code == 0) return 0;

  // A press that types something other than the key's own character (AltGr, a dead key,
  // a layout's third level) is that character, which its text event brings.
  const char32_t own = ownCharacter(row);
  const char32_t typed = queuedText();
  if (typed != 0 && !isOwnCharacter(typed, own)) return 0;

  swallowText_ = own;
  codes[0] = code;
  return 1;
}

int SdlKeyTranslator::textInput(const SDL_TextInputEvent& event, KeyCode* codes, int capacity) {
  const char32_t swallow = swallowText_;
  swallowText_ = 0;
  std::size_t at = 0;
  char32_t c = nextCharacter(event.text, sizeof event.text, at);
  // The key-down of this press already gave its code.
  if (isOwnCharacter(c, swallow)) c = nextCharacter(event.text, sizeof event.text, at);
  int written = 0;
  for (; c != 0 && written < capacity; c = nextCharacter(event.text, sizeof event.text, at)) {
    const int b = codePage437From(c);
    if (b > 0) codes[written++] = b;
  }
  return written;
}

}  // namespace screen
