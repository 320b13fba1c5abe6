#include "e2e/program_test.h"

#include <csignal>
#include <thread>

#include "lister/lister.h"

namespace e2e {

std::uint16_t shown565(std::uint32_t rgb, int depth) {
  const std::uint16_t value = support::to565(rgb);
  return depth == 15 ? static_cast<std::uint16_t>(value & ~0x0020) : value;
}

bool showsFrame(const support::CellGrid& grid, int depth) {
  const auto background = shown565(lister::ScreenBackground, depth);
  const auto barEnd = shown565(0x003788, depth);
  return grid.rowText(2) == lister::Banner && grid.text(4, 63, 36) == lister::WebAddress &&
         grid.at(1, 1).background == background && grid.at(3, 100).background == barEnd &&
         grid.at(5, 100).background == barEnd && grid.at(33, 100).background == barEnd;
}

void ProgramTest::TearDown() {
  program.reset();
  server.reset();
}

bool ProgramTest::startServer(const std::string& screenSpec) {
  server = XServer::start(screenSpec);
  EXPECT_NE(server, nullptr) << "Xvfb did not start with screen " << screenSpec;
  return server != nullptr;
}

bool ProgramTest::startProgram(const std::vector<std::string>& extraEnv) {
  std::vector<std::string> env = server->environment();
  env.insert(env.end(), extraEnv.begin(), extraEnv.end());
  program = Process::start({COMBINACIONES_PROGRAM}, env);
  EXPECT_TRUE(program.has_value()) << "cannot start " << COMBINACIONES_PROGRAM;
  return program.has_value();
}

bool ProgramTest::waitUntil(const std::function<bool()>& condition, Milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(Milliseconds(20));
  }
}

std::optional<WindowInfo> ProgramTest::waitForWindow(
    const std::function<bool(const WindowInfo&)>& matches, Milliseconds timeout) {
  std::optional<WindowInfo> window;
  waitUntil(
      [&] {
        window = server->findWindow(ProgramTitle);
        return (window && (!matches || matches(*window))) || programEnded();
      },
      timeout);
  if (window && matches && !matches(*window)) return std::nullopt;
  return window;
}

support::CellGrid ProgramTest::cells(int left, int top) {
  const Screenshot shot = server->screenshot();
  return support::CellGrid::fromPicture(shot.pixels, shot.width, top, left);
}

std::optional<support::CellGrid> ProgramTest::waitForFrame(int left, int top, int depth,
                                                           Milliseconds timeout) {
  std::optional<support::CellGrid> grid;
  waitUntil(
      [&] {
        grid = cells(left, top);
        return showsFrame(*grid, depth) || programEnded();
      },
      timeout);
  if (!showsFrame(*grid, depth)) return std::nullopt;
  return grid;
}

bool ProgramTest::programEnded() {
  if (!program || program->running()) return false;
  if (!endReported_) {
    ADD_FAILURE() << "the program ended early with status "
                  << program->waitForExit(Milliseconds(0)).value_or(-1) << "; its standard error:\n"
                  << program->errors();
    endReported_ = true;
  }
  return true;
}

std::optional<int> ProgramTest::terminateProgram(Milliseconds timeout) {
  program->signal(SIGTERM);
  return program->waitForExit(timeout);
}

}  // namespace e2e
