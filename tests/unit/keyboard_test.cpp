// The key queue, line editing and the timer, on the headless screen. Lines are typed as
// key codes and read back from the page as a person would see them.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "screen/display.h"
#include "screen/headless_platform.h"
#include "screen/keyboard.h"
#include "screen/text.h"
#include "support/cell_reader.h"

namespace {

using screen::KeyCode;
using support::CellGrid;
using Keys = std::vector<KeyCode>;

constexpr KeyCode Enter = 13;
constexpr KeyCode LineFeed = 10;
constexpr KeyCode Backspace = 8;
constexpr KeyCode Tab = 9;
constexpr KeyCode Escape = 27;
constexpr KeyCode F1 = screen::extendedKey(0x3B);
constexpr KeyCode Insert = screen::extendedKey(0x52);
constexpr KeyCode PageUp = screen::extendedKey(0x49);

constexpr std::uint16_t Background = 0x0008;  // 0x000044 as the page stores it
constexpr std::uint16_t Green = 0x07E0;

void pushKey(KeyCode code) {
  screen::lockDisplay();
  screen::pushKey(code);
  screen::unlockDisplay();
}

Keys keysOf(const std::string& typed) {
  Keys keys;
  for (const char c : typed) keys.push_back(static_cast<unsigned char>(c));
  return keys;
}

Keys operator+(Keys a, const Keys& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

CellGrid page() {
  return CellGrid::fromPage(screen::shownPage());
}

// A headless display whose probe counts beeps and takes window events; the screen is
// cleared to white on 0x000044 with the keys about to be typed in green.
class KeyboardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    probe_ = std::make_shared<screen::HeadlessPlatform::Probe>();
    screen::usePlatform(
        [probe = probe_] { return std::make_unique<screen::HeadlessPlatform>(probe); });
    screen::openScreen();
    ASSERT_TRUE(screen::screenReady());
    screen::clearKeys();
    screen::setColours(0xFFFFFF, 0x000044);
    screen::clearScreen();
    screen::setColours(0x00FF00, screen::KeepColour);
  }
  void TearDown() override {
    screen::closeScreen();
    screen::usePlatform(nullptr);
  }

  // Queues the keys for readLine, which takes them all before it waits again. The queue
  // holds 15; longer lines are typed through the window by a Typist.
  static void type(const Keys& keys) {
    ASSERT_LE(keys.size(), 15u);
    for (const KeyCode k : keys) pushKey(k);
  }

  // Places the cursor, then types.
  static std::string readAt(int row, int column, const Keys& keys, bool newLineAfter = false) {
    screen::locate(row, column);
    return readHere(keys, newLineAfter);
  }
  static std::string readHere(const Keys& keys, bool newLineAfter = false) {
    type(keys);
    return screen::readLine("", false, newLineAfter);
  }

  static void expectCursor(int row, int column) {
    EXPECT_EQ(screen::cursorPosition().row, row);
    EXPECT_EQ(screen::cursorPosition().column, column);
  }

  std::shared_ptr<screen::HeadlessPlatform::Probe> probe_;
};

// Whether a cell of the picture the window shows holds more than one colour: a glyph has
// been drawn there.
bool cellInked(const std::vector<std::uint32_t>& picture, int row, int column) {
  const std::size_t top = static_cast<std::size_t>((row - 1) * 16 * 800 + (column - 1) * 8);
  for (std::size_t y = 0; y < 16; ++y)
    for (std::size_t x = 0; x < 8; ++x)
      if (picture[top + y * 800 + x] != picture[top]) return true;
  return false;
}

// Types a long line through the window from a thread of its own, as a person would. The
// display lock serves the program's one thread, so this thread leaves the key queue to the
// display thread and paces itself by what the window shows: each batch of keys is typed
// once the echo of the previous one has appeared, so the queue never overflows.
class Typist {
 public:
  struct Batch {
    Keys keys;
    int echoRow = 0;  // the cell whose echo shows the batch was taken; 0 for none
    int echoColumn = 0;
  };
  Typist(std::shared_ptr<screen::HeadlessPlatform::Probe> probe, std::vector<Batch> batches)
      : thread_([probe = std::move(probe), batches = std::move(batches)] {
          for (const Batch& batch : batches) {
            for (const KeyCode k : batch.keys) probe->post({screen::WindowEventKind::Key, k});
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (batch.echoRow != 0 &&
                   !cellInked(probe->picture(), batch.echoRow, batch.echoColumn) &&
                   std::chrono::steady_clock::now() < deadline)
              std::this_thread::sleep_for(std::chrono::milliseconds(2));
          }
        }) {}
  ~Typist() { thread_.join(); }

 private:
  std::thread thread_;
};

// ---- Key queue ----------------------------------------------------------------------

TEST_F(KeyboardTest, FullQueueLosesTheOldestKey) {
  for (char c = 'a'; c < 'a' + 16; ++c) pushKey(c);
  for (char c = 'b'; c < 'a' + 16; ++c) EXPECT_EQ(screen::pollKey(), std::string(1, c));
  EXPECT_EQ(screen::pollKey(), "");
  EXPECT_FALSE(screen::keyWaiting());
}

TEST_F(KeyboardTest, KeyTextForms) {
  struct Case {
    KeyCode code;
    std::string text;
  };
  const Case cases[] = {
      {' ', " "},
      {'7', "7"},
      {1, "\x01"},    // Ctrl+A
      {255, "\xFF"},  // the character 255 alone
      {screen::KeyLeft,
       "\xFF"
       "K"},
      {screen::KeyDelete,
       "\xFF"
       "S"},
      {screen::KeyClose,
       "\xFF"
       "k"},
      {F1, "\xFF;"},
      {screen::extendedKey(0x86), "\xFF\x86"},  // F12
  };
  for (const Case& c : cases) {
    pushKey(c.code);
    EXPECT_EQ(screen::pollKey(), c.text) << "code " << c.code;
  }
  EXPECT_EQ(screen::pollKey(), "");
}

TEST_F(KeyboardTest, CodeZeroReadsAsEmptyAndIsTaken) {
  pushKey(0);
  pushKey('x');
  EXPECT_EQ(screen::pollKey(), "");
  EXPECT_EQ(screen::pollKey(), "x");
  EXPECT_EQ(screen::pollKey(), "");
}

TEST_F(KeyboardTest, KeyWaitingLeavesTheKeyQueued) {
  EXPECT_FALSE(screen::keyWaiting());
  pushKey('q');
  EXPECT_TRUE(screen::keyWaiting());
  EXPECT_TRUE(screen::keyWaiting());
  EXPECT_EQ(screen::pollKey(), "q");
  EXPECT_FALSE(screen::keyWaiting());
}

TEST_F(KeyboardTest, WindowKeysAndCloseRequestReachTheQueue) {
  probe_->post({screen::WindowEventKind::Key, 'a'});
  probe_->post({screen::WindowEventKind::CloseRequest, 0});
  probe_->post({screen::WindowEventKind::Key, screen::KeyUp});
  std::vector<std::string> got;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (got.size() < 3 && std::chrono::steady_clock::now() < deadline) {
    const std::string key = screen::pollKey();
    if (key.empty()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    } else {
      got.push_back(key);
    }
  }
  EXPECT_EQ(got, (std::vector<std::string>{"a",
                                           "\xFF"
                                           "k",
                                           "\xFF"
                                           "H"}));
  EXPECT_TRUE(probe_->formOpen) << "the close request must not close the window";
}

// ---- readLine -----------------------------------------------------------------------

TEST_F(KeyboardTest, TypedCountEchoesInPlaceAndEndsTheLine) {
  // Row 4 as the lister leaves it: prompt on the left, web address on the right.
  screen::setColours(0xFFFFFF, screen::KeepColour);
  screen::locate(4, 1);
  screen::printText(" > NUMERO DE ELEMENTOS A COMBINAR EN GRUPOS DE 6 (7-49): ", false);
  screen::locate(4, 63);
  screen::printText("https://www.combinaciones.example/es", false);
  screen::setColours(0x00FF00, screen::KeepColour);
  const CellGrid before = page();

  EXPECT_EQ(readAt(4, 58, {'4', '9', Enter}, true), "49");

  const CellGrid after = page();
  EXPECT_EQ(after.text(4, 58, 2), "49");
  for (const int column : {58, 59}) {
    EXPECT_EQ(after.at(4, column).foreground, Green);
    EXPECT_EQ(after.at(4, column).background, Background);
  }
  for (int column = 1; column <= 100; ++column) {
    if (column == 58 || column == 59) continue;
    EXPECT_EQ(after.at(4, column).character, before.at(4, column).character) << column;
    EXPECT_EQ(after.at(4, column).foreground, before.at(4, column).foreground) << column;
  }
  EXPECT_EQ(after.rowText(5), std::string(100, ' '));
  expectCursor(5, 1);
}

// Each line is typed from row 10, column 20 with no line end after it; the page then shows
// `shown` from that cell and the cursor stands just after the text.
struct EditCase {
  const char* name;
  Keys keys;
  std::string result;
  std::string shown;
  int cursorColumn;
  int beeps;
  std::string leftQueued = "";  // keys typed after the line's end, still waiting
};

class LineEditing : public KeyboardTest, public ::testing::WithParamInterface<EditCase> {};

TEST_P(LineEditing, ResultScreenAndCursor) {
  const EditCase& c = GetParam();
  EXPECT_EQ(readAt(10, 20, c.keys), c.result);
  const CellGrid grid = page();
  EXPECT_EQ(grid.text(10, 20, static_cast<int>(c.shown.size())), c.shown);
  EXPECT_EQ(grid.text(10, 20 + static_cast<int>(c.shown.size()), 10), std::string(10, ' '));
  for (int column = 20; column < 20 + static_cast<int>(c.shown.size()); ++column)
    EXPECT_EQ(grid.at(10, column).background, Background) << column;
  expectCursor(10, c.cursorColumn);
  // A beep is started on the program's thread, so it is counted by now.
  EXPECT_EQ(probe_->beeps, c.beeps);
  std::string left;
  for (std::string key = screen::pollKey(); !key.empty(); key = screen::pollKey()) left += key;
  EXPECT_EQ(left, c.leftQueued) << "keys after the line's end stay queued";
}

const EditCase EditCases[] = {
    {"InsertsBeforeEarlierText", keysOf("12") + Keys{screen::KeyLeft, screen::KeyLeft, '3', Enter},
     "312", "312", 23, 0},
    {"EscapeBlanksTheLine", keysOf("123") + Keys{Escape, Enter}, "", "   ", 20, 0},
    {"EscapeFromTheMiddle", keysOf("123") + Keys{screen::KeyLeft, Escape, '9', Enter}, "9", "9  ",
     21, 0},
    {"BackspaceAtStartDoesNothing", Keys{Backspace, 'a', Enter}, "a", "a", 21, 0},
    {"CtrlHErasesBefore", keysOf("abc") + Keys{screen::KeyLeft, Backspace, Enter}, "ac", "ac ", 22,
     0},
    {"DeleteAtEndBeeps", keysOf("ab") + Keys{screen::KeyDelete, Enter}, "ab", "ab", 22, 1},
    {"DeleteInTheMiddle",
     keysOf("abc") + Keys{screen::KeyLeft, screen::KeyLeft, screen::KeyDelete, Enter}, "ac", "ac ",
     22, 0},
    {"TabAtStartInsertsEight", Keys{Tab, 'x', Enter}, "        x", "        x", 29, 0},
    {"TabAtFiveInsertsThree", keysOf("abcde") + Keys{Tab, 'x', Enter}, "abcde   x", "abcde   x", 29,
     0},
    {"TabInTheMiddleMovesTheRest", keysOf("ab") + Keys{screen::KeyLeft, Tab, Enter}, "a       b",
     "a       b", 29, 0},
    {"HomeAndEnd", keysOf("abc") + Keys{screen::KeyHome, 'x', screen::KeyEnd, 'y', Enter}, "xabcy",
     "xabcy", 25, 0},
    {"LeftAtStartRightAtEndDoNothing", Keys{screen::KeyLeft, 'a', screen::KeyRight, 'b', Enter},
     "ab", "ab", 22, 0},
    {"UpAndDownNeedAWholeRow",
     keysOf("abc") + Keys{screen::KeyUp, 'x', screen::KeyDown, 'y', Enter}, "abcxy", "abcxy", 25,
     0},
    {"LineFeedEndsTheLine", Keys{'5', LineFeed, '6', Enter}, "5", "5", 21, 0, "6\r"},
    {"EnterEndsFromTheMiddle", keysOf("abc") + Keys{screen::KeyHome, Enter}, "abc", "abc", 23, 0},
    {"OtherKeysAreIgnored", Keys{'1', screen::KeyClose, F1, Insert, PageUp, 1, 0, 31, '2', Enter},
     "12", "12", 22, 0},
    {"CharactersAboveAsciiAreTyped", Keys{0x82, 0xA4, Enter}, "\x82\xA4", "\x82\xA4", 22, 0},
};

INSTANTIATE_TEST_SUITE_P(Keys, LineEditing, ::testing::ValuesIn(EditCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(KeyboardTest, EscapeBlanksInTheColoursInForce) {
  screen::setColours(0x00FF00, 0x440000);
  readAt(10, 20, keysOf("123") + Keys{Escape, Enter});
  const CellGrid grid = page();
  for (int column = 20; column <= 22; ++column) {
    EXPECT_EQ(grid.at(10, column).character, ' ');
    EXPECT_EQ(grid.at(10, column).background, support::to565(0x440000));
  }
  EXPECT_EQ(grid.at(10, 23).background, Background);
}

TEST_F(KeyboardTest, PromptAndQuestionMarkComeFirst) {
  struct Case {
    const char* prompt;
    bool questionMark;
    std::string shown;
  };
  const Case cases[] = {{"", true, "? 5"}, {"Edad", false, "Edad5"}, {"N", true, "N? 5"}};
  int row = 10;
  for (const Case& c : cases) {
    screen::locate(row, 1);
    pushKey('5');
    pushKey(Enter);
    EXPECT_EQ(screen::readLine(c.prompt, c.questionMark, false), "5");
    EXPECT_EQ(page().text(row, 1, 6), c.shown + std::string(6 - c.shown.size(), ' '));
    expectCursor(row, static_cast<int>(c.shown.size()) + 1);
    ++row;
  }
}

TEST_F(KeyboardTest, LineReachingColumn100ContinuesOnTheNextRow) {
  EXPECT_EQ(readAt(4, 98, keysOf("abcd") + Keys{Enter}), "abcd");
  const CellGrid grid = page();
  EXPECT_EQ(grid.text(4, 98, 3), "abc");
  EXPECT_EQ(grid.text(5, 1, 2), "d ");
  expectCursor(5, 2);
}

// Row 2 carries a marker so that a scroll shows as the marker moving to row 1.
class ScrollingLine : public KeyboardTest {
 protected:
  void SetUp() override {
    KeyboardTest::SetUp();
    screen::locate(2, 1);
    screen::printText("marker", false);
  }
  void expectScrolled(int times) {
    const CellGrid grid = page();
    EXPECT_EQ(grid.text(2 - times, 1, 6), "marker");
  }
};

TEST_F(ScrollingLine, TypingPastTheLastCellScrollsOnce) {
  EXPECT_EQ(readAt(37, 98, keysOf("abcd") + Keys{Enter}), "abcd");
  expectScrolled(1);
  const CellGrid grid = page();
  EXPECT_EQ(grid.text(36, 98, 3), "abc");
  EXPECT_EQ(grid.text(37, 1, 2), "d ");
  expectCursor(37, 2);
}

TEST_F(ScrollingLine, FillingTheLastCellScrollsAtOnce) {
  EXPECT_EQ(readAt(37, 99, keysOf("ab") + Keys{Enter}), "ab");
  expectScrolled(1);
  EXPECT_EQ(page().text(36, 99, 2), "ab");
  EXPECT_EQ(page().rowText(37), std::string(100, ' '));
  expectCursor(37, 1);
}

TEST_F(ScrollingLine, InsertionEndingInTheLastCellDoesNotScroll) {
  // "Xabcdefgh" fills columns 92 to 100 exactly, which scrolls nothing, so the cursor
  // returns to column 93; "Y" typed there then pushes the line past the last cell.
  EXPECT_EQ(readAt(37, 92, keysOf("abcdefgh") + Keys{screen::KeyHome, 'X', 'Y', Enter}),
            "XYabcdefgh");
  expectScrolled(1);
  const CellGrid grid = page();
  EXPECT_EQ(grid.text(36, 92, 9), "XYabcdefg");
  EXPECT_EQ(grid.text(37, 1, 2), "h ");
  expectCursor(37, 2);
}

TEST_F(ScrollingLine, InsertionThatScrollsKeepsTheCursorAfterTheInsertedText) {
  // "abcdefghi" in columns 90-98 of the last row; Tab at its start pushes it past the
  // last cell, the grid scrolls, and the cursor must follow the text up one row.
  EXPECT_EQ(readAt(37, 90, keysOf("abcdefghi") + Keys{screen::KeyHome, Tab, 'X', Enter}),
            "        Xabcdefghi");
  expectScrolled(1);
  const CellGrid grid = page();
  EXPECT_EQ(grid.text(36, 90, 11), "        Xab");
  EXPECT_EQ(grid.text(37, 1, 8), "cdefghi ");
  expectCursor(37, 8);
}

TEST_F(ScrollingLine, PendingWrapIsSettledBeforeEditing) {
  screen::locate(37, 1);
  screen::printText(std::string(100, 'z'), false);  // leaves the line advance pending
  EXPECT_EQ(readHere(Keys{'q', Enter}), "q");
  expectScrolled(1);
  const CellGrid grid = page();
  EXPECT_EQ(grid.rowText(36), std::string(100, 'z'));
  EXPECT_EQ(grid.text(37, 1, 2), "q ");
  expectCursor(37, 2);
}

TEST_F(KeyboardTest, UpAndDownMoveByWholeRows) {
  // 100 digits typed from row 10, column 1, in batches of 10: P = 100, just enough for Up,
  // which goes to P = 0. X there; Down from P = 1 reaches the end, P = 101, exactly; Y;
  // Down again does nothing with no whole row after P.
  std::string digits;
  std::vector<Typist::Batch> batches;
  for (int i = 0; i < 100; ++i) {
    digits += static_cast<char>('0' + i % 10);
    if (i % 10 == 9) batches.push_back({keysOf(digits.substr(batches.size() * 10)), 10, i + 1});
  }
  batches.push_back({Keys{screen::KeyUp, 'X', screen::KeyDown, 'Y', screen::KeyDown, Enter}, 0, 0});
  const std::string expected = "X" + digits + "Y";

  screen::locate(10, 1);
  std::string line;
  {
    Typist typist(probe_, batches);
    line = screen::readLine("", false, false);
  }
  EXPECT_EQ(line, expected);
  const CellGrid grid = page();
  EXPECT_EQ(grid.rowText(10), expected.substr(0, 100));
  EXPECT_EQ(grid.text(11, 1, 3), expected.substr(100) + " ");
  expectCursor(11, 3);
}

// ---- timerSeconds -------------------------------------------------------------------

TEST(Timer, IsMonotonicAndCountsSeconds) {
  double previous = screen::timerSeconds();
  for (int i = 0; i < 10000; ++i) {
    const double now = screen::timerSeconds();
    ASSERT_GE(now, previous);
    previous = now;
  }
  const double start = screen::timerSeconds();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const double elapsed = screen::timerSeconds() - start;
  EXPECT_GE(elapsed, 0.195);
  EXPECT_LT(elapsed, 1.0);
}

}  // namespace
