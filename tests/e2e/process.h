// Child processes for the end-to-end tests: the X server, the program under test and the
// tools that drive it. Output goes to files, so a chatty child never blocks on a pipe.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

using Milliseconds = std::chrono::milliseconds;

// The environment of this process without the variables that would make a child reach a
// display, an audio or video driver other than the one a test chooses.
std::vector<std::string> cleanEnvironment();

class Process {
 public:
  // Starts argv[0] (a path, or a name looked up in PATH) with exactly `env`. When
  // passFd >= 0, that descriptor of this process is the child's descriptor 3.
  static std::optional<Process> start(const std::vector<std::string>& argv,
                                      const std::vector<std::string>& env, int passFd = -1);

  Process(Process&& other) noexcept;
  Process& operator=(Process&& other) noexcept;
  Process(const Process&) = delete;
  // A child still running is killed and reaped.
  ~Process();

  pid_t pid() const { return pid_; }
  bool running();
  void signal(int signal) const;
  // The exit status, 128 + the signal for a child ended by a signal; nothing on timeout.
  std::optional<int> waitForExit(Milliseconds timeout);
  // What the child wrote so far to its standard output and its standard error.
  std::string output() const;
  std::string errors() const;

 private:
  Process() = default;
  // Kills and reaps a child still running and removes its output files.
  void finish();

  pid_t pid_ = -1;
  std::optional<int> status_;
  std::string outPath_;
  std::string errPath_;
};

// Runs a command to its end and returns its status (nothing on timeout) and its output.
struct CommandResult {
  std::optional<int> status;
  std::string output;
};
CommandResult runCommand(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                         Milliseconds timeout = Milliseconds(5000));

}  // namespace e2e
