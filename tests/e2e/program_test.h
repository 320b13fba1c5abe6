// The fixture of the end-to-end tests: the real program on a private X server, driven by
// key presses and read back from screenshots as cells. A test starts a server with the
// screen it needs, starts the program, waits for what a person would see, and acts.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "e2e/process.h"
#include "e2e/x_server.h"
#include "support/cell_reader.h"

namespace e2e {

// The program's window title: its file name.
inline const std::string ProgramTitle = "combinaciones";
constexpr Milliseconds WaitTimeout(5000);

// The colour a screen of `depth` bits shows for 0xRRGGBB, in the 5-6-5 form cells are read
// in: a 15-bit screen has no lowest green bit.
std::uint16_t shown565(std::uint32_t rgb, int depth);

// Whether the grid shows the complete frame: banner, web-address line and the three bars.
bool showsFrame(const support::CellGrid& grid, int depth);

class ProgramTest : public ::testing::Test {
 protected:
  void TearDown() override;

  // Starts an X server with one screen of `screenSpec` ("800x600x16"); false (with a test
  // failure) when it does not come up.
  bool startServer(const std::string& screenSpec);
  // Starts the program on the server, its environment plus `extraEnv` ("NAME=value").
  bool startProgram(const std::vector<std::string>& extraEnv = {});

  // Polls `condition` every 20 ms until it holds; false when `timeout` passes first.
  static bool waitUntil(const std::function<bool()>& condition, Milliseconds timeout = WaitTimeout);

  // The program's window once it is up and, when `matches` is given, matches it.
  std::optional<WindowInfo> waitForWindow(
      const std::function<bool(const WindowInfo&)>& matches = nullptr,
      Milliseconds timeout = WaitTimeout);
  // The screen read as cells, with the picture's top-left corner at (left, top).
  support::CellGrid cells(int left, int top);
  // The cells once the complete frame shows at (left, top); nothing on timeout.
  std::optional<support::CellGrid> waitForFrame(int left, int top, int depth,
                                                Milliseconds timeout = WaitTimeout);

  // Ends the program with SIGTERM and returns its status; nothing when it does not end.
  std::optional<int> terminateProgram(Milliseconds timeout = WaitTimeout);

  // Whether the program has ended; the first time it is found ended, that fails the test
  // with its status and standard error, since every wait expects it to be running.
  bool programEnded();

  std::unique_ptr<XServer> server;
  std::optional<Process> program;

 private:
  bool endReported_ = false;
};

}  // namespace e2e
