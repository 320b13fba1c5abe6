#include "e2e/x_server.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>

namespace e2e {
namespace {

constexpr Milliseconds ServerStartTimeout(10000);

// Windows come and go while the program changes form, so a request about a window may
// meet one that is already gone: such errors are expected and not fatal.
int ignoreXError(Display*, XErrorEvent*) {
  return 0;
}

// How to read one component out of a pixel and place it in the high bits of a byte.
struct Component {
  int shift = 0;  // of the mask's lowest bit
  int bits = 0;
  explicit Component(unsigned long mask) {
    if (mask == 0) return;
    while ((mask & 1) == 0) {
      mask >>= 1;
      ++shift;
    }
    while ((mask & 1) != 0) {
      mask >>= 1;
      ++bits;
    }
  }
  std::uint32_t read(unsigned long pixel) const {
    const unsigned long value = (pixel >> shift) & ((1ul << bits) - 1);
    return static_cast<std::uint32_t>(bits >= 8 ? value >> (bits - 8) : value << (8 - bits));
  }
};

// Reads the display number Xvfb writes once it accepts connections.
std::optional<std::string> readDisplayNumber(int fd) {
  std::string number;
  const auto deadline = std::chrono::steady_clock::now() + ServerStartTimeout;
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd ready{fd, POLLIN, 0};
    if (poll(&ready, 1, 100) <= 0) continue;
    char c = 0;
    if (read(fd, &c, 1) != 1) return std::nullopt;  // the server ended
    if (c == '\n') return number.empty() ? std::nullopt : std::optional(number);
    number += c;
  }
  return std::nullopt;
}

}  // namespace

struct XServer::Connection {
  Display* display = nullptr;
  ~Connection() {
    if (display != nullptr) XCloseDisplay(display);
  }
};

bool Screenshot::linesBlack(int y0, int y1) const {
  for (int y = y0; y <= y1; ++y)
    for (int x = 0; x < width; ++x)
      if (at(x, y) != 0) return false;
  return true;
}

std::unique_ptr<XServer> XServer::start(const std::string& screenSpec) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return nullptr;
  std::unique_ptr<XServer> server(new XServer);
  // -displayfd: the server takes the first free display number and tells which.
  server->server_ = Process::start(
      {"Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-noreset", "-screen", "0", screenSpec},
      cleanEnvironment(), fds[1]);
  close(fds[1]);
  const std::optional<std::string> number =
      server->server_ ? readDisplayNumber(fds[0]) : std::nullopt;
  close(fds[0]);
  if (!number) return nullptr;
  server->display_ = ":" + *number;
  XSetErrorHandler(ignoreXError);
  server->connection_ = std::make_unique<Connection>();
  server->connection_->display = XOpenDisplay(server->display_.c_str());
  if (server->connection_->display == nullptr) return nullptr;
  return server;
}

XServer::~XServer() {
  connection_.reset();
  if (server_) {
    server_->signal(SIGTERM);
    server_->waitForExit(Milliseconds(3000));
  }
}

std::vector<std::string> XServer::environment() const {
  std::vector<std::string> env = cleanEnvironment();
  env.push_back("DISPLAY=" + display_);
  return env;
}

int XServer::screenWidth() const {
  return DisplayWidth(connection_->display, DefaultScreen(connection_->display));
}

int XServer::screenHeight() const {
  return DisplayHeight(connection_->display, DefaultScreen(connection_->display));
}

Screenshot XServer::screenshot() {
  Display* display = connection_->display;
  Screenshot shot;
  shot.width = screenWidth();
  shot.height = screenHeight();
  XImage* image =
      XGetImage(display, DefaultRootWindow(display), 0, 0, static_cast<unsigned>(shot.width),
                static_cast<unsigned>(shot.height), AllPlanes, ZPixmap);
  if (image == nullptr) return Screenshot{};
  const Component red(image->red_mask), green(image->green_mask), blue(image->blue_mask);
  shot.pixels.resize(static_cast<std::size_t>(shot.width * shot.height));
  for (int y = 0; y < shot.height; ++y)
    for (int x = 0; x < shot.width; ++x) {
      const unsigned long pixel = XGetPixel(image, x, y);
      shot.pixels[static_cast<std::size_t>(y * shot.width + x)] =
          red.read(pixel) << 16 | green.read(pixel) << 8 | blue.read(pixel);
    }
  XDestroyImage(image);
  return shot;
}

std::optional<WindowInfo> XServer::findWindow(const std::string& title) {
  Display* display = connection_->display;
  const Window rootWindow = DefaultRootWindow(display);
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned count = 0;
  if (XQueryTree(display, rootWindow, &root, &parent, &children, &count) == 0) return std::nullopt;
  std::optional<WindowInfo> found;
  // Children come bottom first: the last match is the one on top.
  for (unsigned i = 0; i < count; ++i) {
    char* name = nullptr;
    const bool named = XFetchName(display, children[i], &name) != 0 && name != nullptr;
    const bool matches = named && title == name;
    if (name != nullptr) XFree(name);
    XWindowAttributes attributes{};
    if (!matches || XGetWindowAttributes(display, children[i], &attributes) == 0 ||
        attributes.map_state != IsViewable)
      continue;
    WindowInfo info;
    info.id = children[i];
    info.width = attributes.width;
    info.height = attributes.height;
    Window child = 0;
    XTranslateCoordinates(display, children[i], rootWindow, 0, 0, &info.x, &info.y, &child);
    XSizeHints hints{};
    long supplied = 0;
    if (XGetWMNormalHints(display, children[i], &hints, &supplied) != 0)
      info.fixedSize = (hints.flags & PMinSize) && (hints.flags & PMaxSize) &&
                       hints.min_width == hints.max_width && hints.min_height == hints.max_height;
    found = info;
  }
  if (children != nullptr) XFree(children);
  return found;
}

void XServer::requestClose(unsigned long window) {
  Display* display = connection_->display;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
  XFlush(display);
}

std::string XServer::pointerShape() {
  XFixesCursorImage* image = XFixesGetCursorImage(connection_->display);
  if (image == nullptr) return {};
  std::string name = image->name != nullptr ? image->name : "";
  XFree(image);
  return name;
}

bool XServer::xdotool(const std::vector<std::string>& arguments) {
  std::vector<std::string> argv{"xdotool"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return runCommand(argv, environment()).status == 0;
}

}  // namespace e2e
