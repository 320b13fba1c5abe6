// The real program built with ThreadSanitizer: drawing the frame while the display thread
// shows it, then a storm of Alt+Enter that takes the window down and up again and again,
// must not give a single race report.
#include <csignal>

#include "e2e/program_test.h"

namespace e2e {
namespace {

TEST_F(ProgramTest, FrameAndAltEnterStormAreRaceFree) {
  ASSERT_TRUE(startServer("800x600x16"));
  // A report ends the run at once with its own status, and is kept on standard error.
  ASSERT_TRUE(startProgram({"TSAN_OPTIONS=halt_on_error=1 exitcode=66"}));
  ASSERT_TRUE(waitForFrame(0, 0, 16, Milliseconds(20000)));
  // An odd number of switches ends in the window form, which announces its fixed size.
  std::vector<std::string> storm{"key", "--delay", "25"};
  for (int i = 0; i < 15; ++i) storm.push_back("alt+Return");
  ASSERT_TRUE(server->xdotool(storm));
  EXPECT_TRUE(waitForWindow([](const WindowInfo& w) { return w.fixedSize; }, Milliseconds(20000)));
  EXPECT_TRUE(waitForFrame(0, 0, 16, Milliseconds(20000)));
  EXPECT_TRUE(program->running());
  EXPECT_EQ(terminateProgram(Milliseconds(20000)), 128 + SIGTERM);
  EXPECT_EQ(program->errors().find("ThreadSanitizer"), std::string::npos) << program->errors();
}

}  // namespace
}  // namespace e2e
