// The SDL2 platform. Everything but the beep runs on the display thread: SDL is started,
// its window built, drawn and polled there and nowhere else. Pictures reach the screen
// through the window surface (never a renderer), so the pixels the display code converts
// are the pixels shown.
#include "screen/platform/sdl_platform.h"

#include <SDL.h>
#include <SDL_syswm.h>

#include <cstddef>
#include <string>
#include <vector>

#include "screen/display.h"
#include "screen/platform/sdl_beep.h"
#include "screen/platform/sdl_display_modes.h"
#include "screen/platform/sdl_keys.h"
#include "screen/platform/sdl_subsystems.h"

namespace screen {
namespace {

// Takes a full-screen window off an X11 screen at once. Leaving full screen while the
// window is still mapped makes SDL wait up to 100 ms for a window manager to answer (with
// none, as on a bare X server, the whole 100 ms), which would delay the end of the
// program; an unmapped window leaves full screen, and the desktop's mode returns, at once.
void unmapOnX11(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) return;
  XUnmapWindow(info.info.x11.display, info.info.x11.window);
  XSync(info.info.x11.display, False);
}

constexpr int MaxCodesPerEvent = 8;

// SDL's video drivers that reach a screen, in SDL's order of preference, comma-separated.
std::string screenDrivers() {
  std::string list;
  for (int i = 0; i < SDL_GetNumVideoDrivers(); ++i) {
    const std::string name = SDL_GetVideoDriver(i);
    if (name == "offscreen" || name == "dummy" || name == "evdev") continue;
    list += (list.empty() ? "" : ",") + name;
  }
  return list;
}

class SdlPlatform final : public Platform {
 public:
  bool start(const std::string& title) override;
  bool openForm(DisplayForm form) override;
  void closeForm() override;
  void stop() override;
  Surface surface() override;
  void present(int firstLine, int lastLine) override;
  int pollEvents(WindowEvent* events, int capacity) override;
  void beep() override { beeper_.beep(); }

 private:
  bool openWindow();
  bool openFullScreen();
  // Takes the window surface (or the private one) ready for writing; false when neither
  // can be had or it is too small for the picture.
  bool prepareSurface();
  void unlockSurface();
  void clearToBlack();
  void translate(const SDL_Event& event);
  void add(WindowEventKind kind, KeyCode code = 0) { pending_.push_back(WindowEvent{kind, code}); }

  SdlBeeper beeper_;
  SdlKeyTranslator keys_;
  std::string title_;
  bool videoStarted_ = false;
  bool saverWasEnabled_ = true;
  SDL_Cursor* arrow_ = nullptr;

  SDL_Window* window_ = nullptr;
  Uint32 windowId_ = 0;
  DisplayForm form_ = DisplayForm::Window;
  int topOffset_ = 0;
  // Set when the window's whole surface, margins of a taller mode included, must be shown
  // again at the next present.
  bool wholeSurfaceDirty_ = false;

  // The surface written this pass: the window's own, or, when its format is not one the
  // display code writes, a private XRGB8888 one blitted into it at present.
  SDL_Surface* target_ = nullptr;
  SDL_Surface* private_ = nullptr;
  bool targetLocked_ = false;
  PixelFormat targetFormat_ = PixelFormat::Rgb565;

  // Translated events not yet handed out: one SDL event may give several.
  std::vector<WindowEvent> pending_;
  std::size_t pendingTaken_ = 0;
  // SDL may report one close request twice, as a window close and then as a quit.
  bool closeJustReported_ = false;
};

bool SdlPlatform::start(const std::string& title) {
  title_ = title;
  // The display code handles SIGINT, SIGTERM and SIGHUP itself.
  SDL_SetHintWithPriority(SDL_HINT_NO_SIGNAL_HANDLERS, "1", SDL_HINT_OVERRIDE);
  // The window surface must be the platform's own framebuffer in the screen's format,
  // not a texture behind a renderer.
  SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_OVERRIDE);
  // A close request is a key for the program, not a reason to quit.
  SDL_SetHintWithPriority(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0", SDL_HINT_OVERRIDE);
  // The screen saver stays off while the display is open: SDL suspends it as video
  // starts. Asked before that, SDL reports it as the desktop has it (SDL has not held it
  // back); stop() lifts the suspension again, which leaves the desktop's own setting.
  SDL_SetHintWithPriority(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "0", SDL_HINT_OVERRIDE);
  saverWasEnabled_ = SDL_IsScreenSaverEnabled() == SDL_TRUE;
  // Only a driver that shows a picture to a person will do; SDL would otherwise fall back
  // to drawing into memory. A driver named in SDL's own environment variable still wins.
  SDL_SetHint(SDL_HINT_VIDEODRIVER, screenDrivers().c_str());
  {
    const std::lock_guard subsystems(sdlSubsystemLock());
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
  }
  videoStarted_ = true;
  SDL_DisableScreenSaver();
  arrow_ = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW);
  return true;
}

void SdlPlatform::stop() {
  if (!videoStarted_) return;
  SDL_StopTextInput();
  if (arrow_ != nullptr) SDL_FreeCursor(arrow_);
  arrow_ = nullptr;
  if (saverWasEnabled_) SDL_EnableScreenSaver();
  {
    const std::lock_guard subsystems(sdlSubsystemLock());
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
  videoStarted_ = false;
}

bool SdlPlatform::openForm(DisplayForm form) {
  if (!videoStarted_) return false;
  closeForm();
  form_ = form;
  const bool opened = form == DisplayForm::Window ? openWindow() : openFullScreen();
  // A window whose surface SDL cannot give (a screen layout it has no framebuffer for)
  // would stay blank: the form fails instead.
  if (!opened || !prepareSurface()) {
    if (window_ != nullptr) {
      unlockSurface();
      SDL_SetWindowFullscreen(window_, 0);
      SDL_DestroyWindow(window_);
      SDL_ResetKeyboard();
    }
    window_ = nullptr;
    target_ = nullptr;
    return false;
  }
  windowId_ = SDL_GetWindowID(window_);
  if (arrow_ != nullptr) SDL_SetCursor(arrow_);
  SDL_ShowCursor(SDL_ENABLE);
  SDL_RaiseWindow(window_);
  SDL_StartTextInput();
  clearToBlack();
  return true;
}

bool SdlPlatform::openWindow() {
  topOffset_ = 0;
  window_ = SDL_CreateWindow(title_.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                             ScreenWidth, ScreenHeight, SDL_WINDOW_SHOWN);
  if (window_ == nullptr) return false;
  // SDL centres the inner area; with a window manager's frame around it, the frame is
  // what stands centred on the desktop.
  int top = 0, left = 0, bottom = 0, right = 0;
  SDL_Rect desktop{};
  if (SDL_GetWindowBordersSize(window_, &top, &left, &bottom, &right) == 0 &&
      top + left + bottom + right > 0 &&
      SDL_GetDisplayBounds(SDL_GetWindowDisplayIndex(window_), &desktop) == 0) {
    SDL_SetWindowPosition(window_,
                          desktop.x + (desktop.w - (left + ScreenWidth + right)) / 2 + left,
                          desktop.y + (desktop.h - (top + ScreenHeight + bottom)) / 2 + top);
  }
  return true;
}

bool SdlPlatform::openFullScreen() {
  SDL_DisplayMode desktop{};
  if (SDL_GetDesktopDisplayMode(0, &desktop) != 0) return false;
  std::vector<SDL_DisplayMode> modes;
  const int count = SDL_GetNumDisplayModes(0);
  for (int i = 0; i < count; ++i) {
    SDL_DisplayMode mode{};
    if (SDL_GetDisplayMode(0, i, &mode) == 0) modes.push_back(mode);
  }
  const std::optional<SDL_DisplayMode> mode = chooseFullScreenMode(modes, desktop);
  if (!mode) return false;
  topOffset_ = pictureTop(mode->h);
  // Built hidden, so that the mode is chosen before the window first shows.
  window_ = SDL_CreateWindow(title_.c_str(), SDL_WINDOWPOS_UNDEFINED_DISPLAY(0),
                             SDL_WINDOWPOS_UNDEFINED_DISPLAY(0), mode->w, mode->h,
                             SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS);
  if (window_ == nullptr) return false;
  if (SDL_SetWindowDisplayMode(window_, &*mode) != 0) return false;
  if (SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN) != 0) return false;
  SDL_ShowWindow(window_);
  // Showing switches the mode; make sure it is the one asked for.
  SDL_DisplayMode current{};
  return SDL_GetCurrentDisplayMode(SDL_GetWindowDisplayIndex(window_), &current) == 0 &&
         current.w == mode->w && current.h == mode->h &&
         (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN) != 0;
}

void SdlPlatform::closeForm() {
  if (window_ == nullptr) return;
  unlockSurface();
  if (form_ == DisplayForm::FullScreen) {
    // The picture's area goes black before the desktop's mode comes back.
    if (SDL_Surface* shown = SDL_GetWindowSurface(window_)) {
      SDL_Rect picture{0, 0, ScreenWidth, ScreenHeight};
      SDL_FillRect(shown, &picture, SDL_MapRGB(shown->format, 0, 0, 0));
      SDL_UpdateWindowSurfaceRects(window_, &picture, 1);
    }
    unmapOnX11(window_);
    SDL_SetWindowFullscreen(window_, 0);
  }
  SDL_DestroyWindow(window_);
  // Keys held as the window goes are released where no window sees it; SDL would take
  // the next press of them (the next Alt+Enter) for a repeat.
  SDL_ResetKeyboard();
  window_ = nullptr;
  windowId_ = 0;
  target_ = nullptr;
  if (private_ != nullptr) SDL_FreeSurface(private_);
  private_ = nullptr;
  closeJustReported_ = false;
}

bool SdlPlatform::prepareSurface() {
  if (window_ == nullptr) return false;
  // Asked for each time: SDL makes a new one when the window changes.
  SDL_Surface* shown = SDL_GetWindowSurface(window_);
  if (shown == nullptr || shown->w < ScreenWidth || shown->h < topOffset_ + ScreenHeight)
    return false;
  if (const std::optional<PixelFormat> direct = directPixelFormat(shown->format->format)) {
    if (private_ != nullptr) SDL_FreeSurface(private_);
    private_ = nullptr;
    target_ = shown;
    targetFormat_ = *direct;
  } else {
    // Any other layout: the display code writes XRGB8888 and SDL only copies or repacks
    // those 8-bit components, whose low bits are already zero.
    if (private_ == nullptr || private_->w != shown->w || private_->h != shown->h) {
      if (private_ != nullptr) SDL_FreeSurface(private_);
      private_ =
          SDL_CreateRGBSurfaceWithFormat(0, shown->w, shown->h, 32, SDL_PIXELFORMAT_XRGB8888);
      if (private_ == nullptr) return false;
      SDL_SetSurfaceBlendMode(private_, SDL_BLENDMODE_NONE);
      SDL_FillRect(private_, nullptr, 0);
    }
    target_ = private_;
    targetFormat_ = PixelFormat::Xrgb8888;
  }
  if (!targetLocked_ && SDL_MUSTLOCK(target_)) {
    if (SDL_LockSurface(target_) != 0) return false;
    targetLocked_ = true;
  }
  return true;
}

void SdlPlatform::unlockSurface() {
  if (targetLocked_ && target_ != nullptr) SDL_UnlockSurface(target_);
  targetLocked_ = false;
}

void SdlPlatform::clearToBlack() {
  if (!prepareSurface()) return;
  SDL_Surface* shown = SDL_GetWindowSurface(window_);
  unlockSurface();
  SDL_FillRect(target_, nullptr, SDL_MapRGB(target_->format, 0, 0, 0));
  if (target_ != shown) SDL_FillRect(shown, nullptr, SDL_MapRGB(shown->format, 0, 0, 0));
  SDL_UpdateWindowSurface(window_);
  wholeSurfaceDirty_ = false;
}

Surface SdlPlatform::surface() {
  if (!prepareSurface()) return Surface{};
  return Surface{static_cast<std::uint8_t*>(target_->pixels), target_->pitch, targetFormat_,
                 topOffset_};
}

void SdlPlatform::present(int firstLine, int lastLine) {
  if (window_ == nullptr || target_ == nullptr) return;
  unlockSurface();
  SDL_Rect lines{0, topOffset_ + firstLine, ScreenWidth, lastLine - firstLine + 1};
  if (target_ == private_) {
    SDL_Surface* shown = SDL_GetWindowSurface(window_);
    if (shown == nullptr) return;
    SDL_Rect to = lines;
    SDL_BlitSurface(private_, &lines, shown, &to);
  }
  if (wholeSurfaceDirty_) {
    SDL_UpdateWindowSurface(window_);
    wholeSurfaceDirty_ = false;
  } else {
    SDL_UpdateWindowSurfaceRects(window_, &lines, 1);
  }
}

int SdlPlatform::pollEvents(WindowEvent* events, int capacity) {
  if (pendingTaken_ == pending_.size()) {
    pending_.clear();
    pendingTaken_ = 0;
  }
  SDL_Event event;
  while (pending_.size() - pendingTaken_ < static_cast<std::size_t>(capacity) &&
         SDL_PollEvent(&event) == 1)
    translate(event);
  int count = 0;
  while (count < capacity && pendingTaken_ < pending_.size())
    events[count++] = pending_[pendingTaken_++];
  return count;
}

void SdlPlatform::translate(const SDL_Event& event) {
  const bool afterClose = closeJustReported_;
  closeJustReported_ = false;
  switch (event.type) {
    case SDL_QUIT:
      if (!afterClose) add(WindowEventKind::CloseRequest);
      break;
    case SDL_WINDOWEVENT:
      // Events of a window already taken down by a change of form say nothing now.
      if (event.window.windowID != windowId_) break;
      switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
          add(WindowEventKind::CloseRequest);
          closeJustReported_ = true;
          break;
        case SDL_WINDOWEVENT_MAXIMIZED:
          // Maximising means the other form; a window that stays is never left maximised.
          if (form_ == DisplayForm::Window) SDL_RestoreWindow(window_);
          add(WindowEventKind::ToggleForm);
          break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
          add(WindowEventKind::Activated);
          break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
          add(WindowEventKind::Deactivated);
          break;
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          wholeSurfaceDirty_ = true;
          add(WindowEventKind::Repaint);
          break;
        default:
          break;
      }
      break;
    case SDL_KEYDOWN: {
      const SDL_Keycode key = event.key.keysym.sym;
      if ((key == SDLK_RETURN || key == SDLK_KP_ENTER) && (event.key.keysym.mod & KMOD_ALT)) {
        // Alt+Enter switches the form; holding it down does not switch back and forth.
        if (event.key.repeat == 0) add(WindowEventKind::ToggleForm);
        break;
      }
      KeyCode codes[MaxCodesPerEvent];
      const int count = keys_.keyDown(event.key, codes, MaxCodesPerEvent);
      for (int i = 0; i < count; ++i) add(WindowEventKind::Key, codes[i]);
      break;
    }
    case SDL_TEXTINPUT: {
      KeyCode codes[MaxCodesPerEvent];
      const int count = keys_.textInput(event.text, codes, MaxCodesPerEvent);
      for (int i = 0; i < count; ++i) add(WindowEventKind::Key, codes[i]);
      break;
    }
    default:
      break;
  }
}

}  // namespace

std::unique_ptr<Platform> makeSdlPlatform() {
  return std::make_unique<SdlPlatform>();
}

}  // namespace screen
