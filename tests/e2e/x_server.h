// A private X server (Xvfb) for one test, and what a test does with it: find the
// program's window, read its geometry, ask it to close, press keys (xdotool), take a
// screenshot. There is no window manager: windows sit directly on the root window.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "e2e/process.h"

namespace e2e {

// A picture of the whole screen in 0xRRGGBB; each component holds the screen's own bits
// in its high bits (a 16-bit screen's white reads 0xF8FCF8).
struct Screenshot {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;

  std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
  // Whether every pixel of lines y0..y1 (both included) is black.
  bool linesBlack(int y0, int y1) const;
};

// A top-level window as the X server sees it.
struct WindowInfo {
  unsigned long id = 0;
  int x = 0;  // the inner area's position on the screen
  int y = 0;
  int width = 0;
  int height = 0;
  // The window announces a fixed size (minimum = maximum) to window managers: it cannot
  // be resized. The program's window form does; its full-screen window does not.
  bool fixedSize = false;
};

class XServer {
 public:
  // Starts Xvfb on a free display with one screen of `screenSpec` ("800x600x16") and
  // connects to it; nothing when the server does not come up.
  static std::unique_ptr<XServer> start(const std::string& screenSpec);
  ~XServer();
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;

  // ":N", for a child's DISPLAY.
  const std::string& display() const { return display_; }
  // cleanEnvironment() with DISPLAY set to this server.
  std::vector<std::string> environment() const;

  int screenWidth() const;
  int screenHeight() const;
  Screenshot screenshot();

  // The viewable top-level window with this title, if there is one.
  std::optional<WindowInfo> findWindow(const std::string& title);
  // Sends the window the close request its close button would (WM_DELETE_WINDOW).
  void requestClose(unsigned long window);

  // The name of the pointer's current shape ("left_ptr" for the standard arrow); empty
  // for an unnamed or hidden one.
  std::string pointerShape();

  // Runs xdotool on this server; true when it succeeded. Keys go to the focused window.
  bool xdotool(const std::vector<std::string>& arguments);
  // Key names as xdotool knows them: "Return", "alt+Return", "space".
  bool key(const std::string& keys) { return xdotool({"key", keys}); }
  bool type(const std::string& text) { return xdotool({"type", "--delay", "20", text}); }

 private:
  XServer() = default;

  std::optional<Process> server_;
  std::string display_;
  struct Connection;
  std::unique_ptr<Connection> connection_;
};

}  // namespace e2e
