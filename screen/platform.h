// What the display thread needs from the window system. The display code owns the pages,
// the flags, the lock and the key queue; a platform only shows pixels and reports events.
// The SDL platform is the real one; the headless platform serves tests and benchmarks.
#pragma once

#include <cstdint>
#include <string>

namespace screen {

enum class DisplayForm { Window, FullScreen };

// Pixel layouts of a screen; lines of the 5-6-5 page are converted into them.
enum class PixelFormat { Rgb565, Rgb555, Xrgb8888 };

// The memory the display thread writes converted page lines into.
struct Surface {
  std::uint8_t* pixels = nullptr;
  int pitchBytes = 0;
  PixelFormat format = PixelFormat::Rgb565;
  int topOffset = 0;  // lines above the picture in a full-screen mode taller than 600
};

enum class WindowEventKind {
  Key,           // keyCode holds a key code for the key queue
  CloseRequest,  // close button, window manager or Alt+F4
  ToggleForm,    // Alt+Enter or a request to maximise the window
  Activated,     // the program became the active application
  Deactivated,   // it stopped being the active application
  Repaint,       // the window's picture must be shown again
};

struct WindowEvent {
  WindowEventKind kind = WindowEventKind::Key;
  std::int32_t keyCode = 0;
};

class Platform {
 public:
  virtual ~Platform() = default;

  // Everything below but beep runs on the display thread.
  // Connects to the window system and saves what closing must restore (the screen saver).
  virtual bool start(const std::string& title) = 0;
  // Builds the window in the form; false, with nothing left on screen, when it cannot.
  virtual bool openForm(DisplayForm form) = 0;
  // Takes the current form down: window gone, the desktop's own mode back.
  virtual void closeForm() = 0;
  // Restores what start saved and disconnects.
  virtual void stop() = 0;

  virtual Surface surface() = 0;
  // Shows picture lines firstLine..lastLine of the surface, already converted, on screen.
  virtual void present(int firstLine, int lastLine) = 0;
  // Collects the pending window events, at most capacity of them; returns how many.
  virtual int pollEvents(WindowEvent* events, int capacity) = 0;

  // Starts the tone; may be called from any thread, returns at once.
  virtual void beep() = 0;
};

}  // namespace screen
