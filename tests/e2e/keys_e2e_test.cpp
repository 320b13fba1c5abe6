// Real key presses reach the key queue as the right codes: key_echo writes every key it
// polls, and xdotool presses the keys on a private X server. Each test sends its keys,
// then F12, which ends key_echo, and compares what was echoed with what a person pressed.
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/program_test.h"

namespace e2e {
namespace {

using Keys = std::vector<std::string>;

const std::string EchoTitle = "key_echo";

class KeyEcho : public ProgramTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(startServer("800x600x24"));
    // The server's US keyboard lacks these characters. Lent to spare keys before the
    // program starts, they keep xdotool from remapping a key just as it presses it, which
    // races with the program reading the keyboard map.
    const CommandResult lent = runCommand(
        {"xmodmap", "-e", "keycode 93 = ntilde Ntilde", "-e", "keycode 97 = eacute Eacute", "-e",
         "keycode 103 = onehalf sterling", "-e", "keycode 120 = EuroSign"},
        server->environment());
    ASSERT_EQ(lent.status, 0) << lent.output;
    program = Process::start({KEY_ECHO_PROGRAM}, server->environment());
    ASSERT_TRUE(program.has_value());
    ASSERT_TRUE(waitUntil([&] {
      return program->output().starts_with("ready\n") || programEnded();
    })) << "key_echo did not open its screen: "
        << program->errors();
    ASSERT_TRUE(waitUntil([&] { return findWindow().has_value() || programEnded(); }));
  }

  std::optional<WindowInfo> findWindow() { return server->findWindow(EchoTitle); }

  // Runs `act`, ends key_echo with F12 and returns the keys it echoed before F12's.
  Keys keysFrom(const std::function<void()>& act) {
    act();
    EXPECT_TRUE(server->key("F12"));
    const std::optional<int> status = program->waitForExit(WaitTimeout);
    EXPECT_EQ(status, 0) << program->errors();
    std::istringstream lines(program->output());
    Keys keys;
    std::string line;
    std::getline(lines, line);  // "ready"
    while (std::getline(lines, line)) keys.push_back(line);
    EXPECT_TRUE(!keys.empty() && keys.back() == "FF 86") << "F12 did not end it";
    if (!keys.empty()) keys.pop_back();
    return keys;
  }

  void press(const std::string& keys) { ASSERT_TRUE(server->key(keys)) << keys; }
};

TEST_F(KeyEcho, TypedCharactersArriveInCodePage437) {
  const Keys keys = keysFrom([&] {
    ASSERT_TRUE(server->type("aZ 1!"));
    press("shift+b");
    press("ntilde");
    press("eacute");
    press("Ntilde");
    press("onehalf");
    press("sterling");
    press("EuroSign");  // code page 437 has no euro sign: no key
    press("c");
  });
  EXPECT_EQ(keys, (Keys{"61", "5A", "20", "31", "21", "42", "A4", "82", "A5", "AB", "9C", "63"}));
}

TEST_F(KeyEcho, ControlAndExtendedKeys) {
  const Keys keys = keysFrom([&] {
    for (const char* key :
         {"Return",   "BackSpace", "Tab",       "Escape", "ctrl+c",   "ctrl+m", "F1",
          "shift+F1", "ctrl+F1",   "alt+F1",    "F10",    "F11",      "alt+a",  "alt+shift+a",
          "alt+1",    "Up",        "Down",      "Left",   "Right",    "Home",   "End",
          "Delete",   "ctrl+Left", "shift+Tab", "KP_Up",  "KP_Delete"})
      press(key);
  });
  EXPECT_EQ(keys,
            (Keys{"0D",    "08",    "09",    "1B",    "03",    "0D",    "FF 3B", "FF 54", "FF 5E",
                  "FF 68", "FF 44", "FF 85", "FF 1E", "FF 1E", "FF 78", "FF 48", "FF 50", "FF 4B",
                  "FF 4D", "FF 47", "FF 4F", "FF 53", "FF 73", "FF 0F", "FF 48", "FF 53"}));
}

TEST_F(KeyEcho, ModifierKeysAloneGiveNothing) {
  const Keys keys = keysFrom([&] {
    for (const char* key : {"shift", "ctrl", "alt", "Shift_R", "Control_R", "Alt_R", "super",
                            "Caps_Lock", "Caps_Lock", "Num_Lock", "Num_Lock", "x"})
      press(key);
  });
  EXPECT_EQ(keys, Keys{"78"});
}

// Alt+F4 and the close button are one key, 255 then "k"; the window stays open.
TEST_F(KeyEcho, AltF4AndTheCloseButtonGiveTheCloseKey) {
  const std::optional<WindowInfo> window = findWindow();
  ASSERT_TRUE(window);
  const Keys keys = keysFrom([&] {
    press("alt+F4");
    server->requestClose(window->id);
    ASSERT_TRUE(waitUntil([&] { return program->output().ends_with("FF 6B\nFF 6B\n"); }));
    const std::optional<WindowInfo> after = findWindow();
    ASSERT_TRUE(after);
    EXPECT_EQ(after->id, window->id);
  });
  EXPECT_EQ(keys, (Keys{"FF 6B", "FF 6B"}));
}

}  // namespace
}  // namespace e2e
