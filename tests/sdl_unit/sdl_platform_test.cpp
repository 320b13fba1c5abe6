// The SDL platform on SDL's offscreen video driver: what its window events become, and
// the window surface it hands the display code. No display is needed.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <vector>

#include "screen/platform.h"
#include "screen/platform/sdl_platform.h"

namespace {

using screen::WindowEvent;
using screen::WindowEventKind;

class SdlPlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // SDL's own variable names the driver; the platform takes it over its own choice.
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    platform = screen::makeSdlPlatform();
    ASSERT_TRUE(platform->start("events"));
    ASSERT_TRUE(platform->openForm(screen::DisplayForm::Window));
    windowId = findWindow();
    ASSERT_NE(windowId, 0u);
    drain();
  }
  void TearDown() override {
    platform->closeForm();
    platform->stop();
    unsetenv("SDL_VIDEODRIVER");
  }

  static Uint32 findWindow() {
    for (Uint32 id = 1; id < 1000; ++id)
      if (SDL_Window* window = SDL_GetWindowFromID(id))
        if (SDL_GetWindowTitle(window) == std::string("events")) return id;
    return 0;
  }
  std::vector<WindowEvent> poll(int capacity = 64) {
    std::vector<WindowEvent> events(static_cast<std::size_t>(capacity));
    events.resize(static_cast<std::size_t>(platform->pollEvents(events.data(), capacity)));
    return events;
  }
  void drain() {
    while (!poll().empty()) {
    }
  }
  SDL_Event windowEvent(SDL_WindowEventID kind, Uint32 id = 0) const {
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.windowID = id != 0 ? id : windowId;
    event.window.event = static_cast<Uint8>(kind);
    return event;
  }
  static SDL_Event keyDown(SDL_Keycode key, Uint16 modifiers = KMOD_NONE) {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.state = SDL_PRESSED;
    event.key.keysym.sym = key;
    event.key.keysym.scancode = SDL_GetScancodeFromKey(key);
    event.key.keysym.mod = modifiers;
    return event;
  }
  static SDL_Event quit() {
    SDL_Event event{};
    event.type = SDL_QUIT;
    return event;
  }

  std::unique_ptr<screen::Platform> platform;
  Uint32 windowId = 0;
};

struct EventCase {
  const char* what;
  std::vector<SDL_Event> pushed;
  std::vector<WindowEvent> expected;
};

TEST_F(SdlPlatformTest, WindowEventsBecomeWhatTheDisplayHandles) {
  const WindowEvent close{WindowEventKind::CloseRequest, 0};
  const WindowEvent toggle{WindowEventKind::ToggleForm, 0};
  const WindowEvent repaint{WindowEventKind::Repaint, 0};
  const EventCase cases[] = {
      {"a close request SDL reports twice", {windowEvent(SDL_WINDOWEVENT_CLOSE), quit()}, {close}},
      {"a quit alone", {quit()}, {close}},
      {"two close requests",
       {windowEvent(SDL_WINDOWEVENT_CLOSE), windowEvent(SDL_WINDOWEVENT_CLOSE)},
       {close, close}},
      {"Alt+Enter", {keyDown(SDLK_RETURN, KMOD_LALT)}, {toggle}},
      {"AltGr+keypad Enter", {keyDown(SDLK_KP_ENTER, KMOD_RALT)}, {toggle}},
      {"Enter alone is a key", {keyDown(SDLK_RETURN)}, {{WindowEventKind::Key, 13}}},
      {"maximise", {windowEvent(SDL_WINDOWEVENT_MAXIMIZED)}, {toggle}},
      {"activation",
       {windowEvent(SDL_WINDOWEVENT_FOCUS_LOST), windowEvent(SDL_WINDOWEVENT_FOCUS_GAINED)},
       {{WindowEventKind::Deactivated, 0}, {WindowEventKind::Activated, 0}}},
      {"repaint requests",
       {windowEvent(SDL_WINDOWEVENT_EXPOSED), windowEvent(SDL_WINDOWEVENT_RESTORED),
        windowEvent(SDL_WINDOWEVENT_SIZE_CHANGED)},
       {repaint, repaint, repaint}},
      {"events of a window gone with the last form",
       {windowEvent(SDL_WINDOWEVENT_CLOSE, windowId + 100),
        windowEvent(SDL_WINDOWEVENT_FOCUS_LOST, windowId + 100)},
       {}},
  };
  for (const EventCase& c : cases) {
    for (SDL_Event event : c.pushed) ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
    const std::vector<WindowEvent> got = poll();
    ASSERT_EQ(got.size(), c.expected.size()) << c.what;
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].kind, c.expected[i].kind) << c.what << ", event " << i;
      EXPECT_EQ(got[i].keyCode, c.expected[i].keyCode) << c.what << ", event " << i;
    }
  }
}

// Events beyond the room given wait for the next poll; none is lost.
TEST_F(SdlPlatformTest, EventsBeyondCapacityWaitForTheNextPoll) {
  for (int i = 0; i < 3; ++i) {
    SDL_Event event = keyDown(SDLK_ESCAPE);
    ASSERT_EQ(SDL_PushEvent(&event), 1);
  }
  EXPECT_EQ(poll(2).size(), 2u);
  const std::vector<WindowEvent> rest = poll(2);
  ASSERT_EQ(rest.size(), 1u);
  EXPECT_EQ(rest[0].keyCode, 27);
}

TEST_F(SdlPlatformTest, WindowSurfaceHoldsThePictureAndFollowsTheForm) {
  screen::Surface surface = platform->surface();
  ASSERT_NE(surface.pixels, nullptr);
  EXPECT_EQ(surface.format, screen::PixelFormat::Xrgb8888);  // the driver's framebuffer
  EXPECT_GE(surface.pitchBytes, 800 * 4);
  EXPECT_EQ(surface.topOffset, 0);
  // Cleared to black when the form opened.
  for (int x = 0; x < 800; x += 99) EXPECT_EQ(surface.pixels[x * 4 + 599 * surface.pitchBytes], 0);
  platform->present(0, 599);

  // The driver offers no 800-wide mode: full screen fails and leaves no window behind.
  EXPECT_FALSE(platform->openForm(screen::DisplayForm::FullScreen));
  EXPECT_EQ(platform->surface().pixels, nullptr);
  EXPECT_EQ(findWindow(), 0u);

  ASSERT_TRUE(platform->openForm(screen::DisplayForm::Window));
  EXPECT_NE(platform->surface().pixels, nullptr);
}

}  // namespace
