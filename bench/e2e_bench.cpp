// Measures the real program in a real X server (Xvfb, 800 x 600 at 24 bits):
// - the time it shows itself for the n = 49 listing, against the same listing run
//   headless in this process (the display thread live on the in-memory platform);
// - how soon the space bar ends a listing: from the key event to the end of the process;
// - the processor time of the idle final wait, and the peak memory of the run.
//
// usage: e2e_bench [runs of the space-bar measurement, default 5]
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "e2e/process.h"
#include "e2e/x_server.h"
#include "lister/lister.h"
#include "screen/display.h"
#include "support/cell_reader.h"

namespace {

using Clock = std::chrono::steady_clock;
using e2e::Milliseconds;

support::CellGrid cells(e2e::XServer& server) {
  const e2e::Screenshot shot = server.screenshot();
  return support::CellGrid::fromPicture(shot.pixels, shot.width);
}

// Polls the screen every `period` until row `row` holds `text`; false after `timeout`.
bool waitForText(e2e::XServer& server, int row, const std::string& text, Milliseconds timeout,
                 Milliseconds period = Milliseconds(50)) {
  const auto deadline = Clock::now() + timeout;
  while (Clock::now() < deadline) {
    if (cells(server).rowText(row).find(text) != std::string::npos) return true;
    std::this_thread::sleep_for(period);
  }
  return false;
}

// Presses and releases a key straight through the XTest extension, so that the moment
// the event leaves is known to within a round trip.
class KeyPresser {
 public:
  explicit KeyPresser(const std::string& display) : display_(XOpenDisplay(display.c_str())) {}
  ~KeyPresser() {
    if (display_ != nullptr) XCloseDisplay(display_);
  }
  bool press(KeySym key) {
    if (display_ == nullptr) return false;
    const KeyCode code = XKeysymToKeycode(display_, key);
    XTestFakeKeyEvent(display_, code, True, CurrentTime);
    XTestFakeKeyEvent(display_, code, False, CurrentTime);
    XSync(display_, False);
    return true;
  }

 private:
  Display* display_;
};

double cpuSecondsOf(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(stat, line);
  std::istringstream fields(line.substr(line.rfind(')') + 2));
  std::string field;
  unsigned long long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) utime = std::stoull(field);
    if (i == 15) stime = std::stoull(field);
  }
  return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double peakMegabytesOf(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
  return -1;
}

// The program typed n and Return, listing; nothing when it did not come up.
std::optional<e2e::Process> startListing(e2e::XServer& server, int n) {
  auto program = e2e::Process::start({COMBINACIONES_PROGRAM}, server.environment());
  if (!program || !waitForText(server, 4, "(7-49):", Milliseconds(10000))) return std::nullopt;
  server.type(std::to_string(n));
  server.key("Return");
  return program;
}

double headlessListingSeconds(int n) {
  lister::drawFrame();
  lister::LabelTable labels;
  labels.build(n);
  const auto start = Clock::now();
  lister::listCombinations(n, labels);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  screen::closeScreen();
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  const int spaceRuns = argc > 1 ? std::atoi(argv[1]) : 5;
  auto server = e2e::XServer::start("800x600x24");
  if (!server) {
    std::fprintf(stderr, "Xvfb did not start\n");
    return 1;
  }

  // The whole n = 49 run: the time the program shows, then the idle final wait.
  auto program = startListing(*server, 49);
  if (!program || !waitForText(*server, 36, "segundos.", Milliseconds(120000), Milliseconds(500))) {
    std::fprintf(stderr, "the n = 49 run did not reach its summary\n");
    return 1;
  }
  const std::string timeRow = cells(*server).rowText(36);
  const double shown = std::atof(timeRow.c_str() + timeRow.find(':') + 1);
  const double cpuBefore = cpuSecondsOf(program->pid());
  std::this_thread::sleep_for(std::chrono::seconds(3));
  const double idleShare = (cpuSecondsOf(program->pid()) - cpuBefore) / 3.0;
  const double peak = peakMegabytesOf(program->pid());
  server->key("Return");
  const auto status = program->waitForExit(Milliseconds(5000));
  const double headless = headlessListingSeconds(49);
  std::printf("n=49 in an 800x600x24 window under Xvfb\n");
  std::printf("  time shown by the program: %.3f s; headless listing: %.3f s; ratio %.2f\n", shown,
              headless, shown / headless);
  std::printf("  idle final wait: %.2f %% of one core; peak memory %.1f MB; exit status %d\n",
              idleShare * 100.0, peak, status.value_or(-1));

  // The space bar during the listing: from the key event to the end of the process.
  KeyPresser presser(server->display());
  std::vector<double> latencies;
  for (int run = 0; run < spaceRuns; ++run) {
    auto listing = startListing(*server, 49);
    if (!listing || !waitForText(*server, 6, "01", Milliseconds(10000))) continue;
    std::this_thread::sleep_for(Milliseconds(500));
    const auto pressed = Clock::now();
    presser.press(XK_space);
    while (listing->running()) std::this_thread::sleep_for(std::chrono::microseconds(200));
    latencies.push_back(std::chrono::duration<double, std::milli>(Clock::now() - pressed).count());
  }
  std::sort(latencies.begin(), latencies.end());
  if (!latencies.empty())
    std::printf("  space bar to exit over %zu runs: median %.1f ms, worst %.1f ms\n",
                latencies.size(), latencies[latencies.size() / 2], latencies.back());
  return 0;
}
