// The real program built with ThreadSanitizer: drawing the frame while the display thread
// shows it, then Alt+Enter after Alt+Enter, taking the window down and up again and again,
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
  // Switch after switch, each pressed as soon as the last one has shown its new window:
  // a press sent while the window is being rebuilt would reach no window at all.
  bool windowForm = false;
  for (int i = 0; i < 9; ++i) {
    const std::optional<WindowInfo> before = waitForWindow();
    ASSERT_TRUE(before);
    ASSERT_TRUE(server->key("alt+Return"));
    windowForm = !windowForm;
    ASSERT_TRUE(waitForWindow(
        [&](const WindowInfo& w) { return w.id != before->id && w.fixedSize == windowForm; },
        Milliseconds(20000)))
        << "switch " << i + 1 << " did not happen";
  }
  EXPECT_TRUE(waitForFrame(0, 0, 16, Milliseconds(20000)));
  EXPECT_TRUE(program->running());
  EXPECT_EQ(terminateProgram(Milliseconds(20000)), 128 + SIGTERM);
  EXPECT_EQ(program->errors().find("ThreadSanitizer"), std::string::npos) << program->errors();
}

}  // namespace
}  // namespace e2e
