#include "e2e/process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace e2e {
namespace {

std::string temporaryFile(const char* kind) {
  const char* directory = std::getenv("TMPDIR");
  std::string path = std::string(directory != nullptr ? directory : "/tmp") +
                     "/combinaciones-e2e-" + kind + "-XXXXXX";
  const int fd = mkstemp(path.data());
  if (fd < 0) return {};
  close(fd);
  return path;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

int statusOf(int waitStatus) {
  if (WIFEXITED(waitStatus)) return WEXITSTATUS(waitStatus);
  if (WIFSIGNALED(waitStatus)) return 128 + WTERMSIG(waitStatus);
  return -1;
}

bool startsWithAny(const std::string& entry, std::initializer_list<const char*> prefixes) {
  for (const char* prefix : prefixes)
    if (entry.rfind(prefix, 0) == 0) return true;
  return false;
}

}  // namespace

std::vector<std::string> cleanEnvironment() {
  std::vector<std::string> env;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    if (!startsWithAny(text, {"DISPLAY=", "WAYLAND_DISPLAY=", "WAYLAND_SOCKET=", "SDL_",
                              "XAUTHORITY=", "TSAN_OPTIONS="}))
      env.push_back(text);
  }
  return env;
}

std::optional<Process> Process::start(const std::vector<std::string>& argv,
                                      const std::vector<std::string>& env, int passFd) {
  Process process;
  process.outPath_ = temporaryFile("out");
  process.errPath_ = temporaryFile("err");
  if (process.outPath_.empty() || process.errPath_.empty()) return std::nullopt;

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, process.outPath_.c_str(), O_WRONLY | O_TRUNC, 0);
  posix_spawn_file_actions_addopen(&actions, 2, process.errPath_.c_str(), O_WRONLY | O_TRUNC, 0);
  // dup2 onto 3 clears close-on-exec there; a descriptor that already is 3 is first moved.
  int passed = passFd;
  if (passFd == 3) passed = fcntl(passFd, F_DUPFD_CLOEXEC, 4);
  if (passed >= 0) posix_spawn_file_actions_adddup2(&actions, passed, 3);

  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  std::vector<char*> envp;
  for (const std::string& entry : env) envp.push_back(const_cast<char*>(entry.c_str()));
  envp.push_back(nullptr);

  const int failed =
      posix_spawnp(&process.pid_, args[0], &actions, nullptr, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (passed != passFd) close(passed);
  if (failed != 0) {
    process.pid_ = -1;
    return std::nullopt;
  }
  return process;
}

Process::Process(Process&& other) noexcept
    : pid_(other.pid_),
      status_(other.status_),
      outPath_(std::move(other.outPath_)),
      errPath_(std::move(other.errPath_)) {
  other.pid_ = -1;
  other.outPath_.clear();
  other.errPath_.clear();
}

Process& Process::operator=(Process&& other) noexcept {
  if (this != &other) {
    finish();
    pid_ = other.pid_;
    status_ = other.status_;
    outPath_ = std::move(other.outPath_);
    errPath_ = std::move(other.errPath_);
    other.pid_ = -1;
    other.outPath_.clear();
    other.errPath_.clear();
  }
  return *this;
}

Process::~Process() {
  finish();
}

void Process::finish() {
  if (pid_ > 0 && !status_) {
    kill(pid_, SIGKILL);
    int waitStatus = 0;
    waitpid(pid_, &waitStatus, 0);
  }
  if (!outPath_.empty()) unlink(outPath_.c_str());
  if (!errPath_.empty()) unlink(errPath_.c_str());
  pid_ = -1;
  outPath_.clear();
  errPath_.clear();
}

bool Process::running() {
  return pid_ > 0 && !waitForExit(Milliseconds(0));
}

void Process::signal(int signal) const {
  if (pid_ > 0 && !status_) kill(pid_, signal);
}

std::optional<int> Process::waitForExit(Milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (pid_ > 0 && !status_) {
    int waitStatus = 0;
    if (waitpid(pid_, &waitStatus, WNOHANG) == pid_) {
      status_ = statusOf(waitStatus);
      break;
    }
    if (std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(Milliseconds(5));
  }
  return status_;
}

std::string Process::output() const {
  return readFile(outPath_);
}
std::string Process::errors() const {
  return readFile(errPath_);
}

CommandResult runCommand(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                         Milliseconds timeout) {
  std::optional<Process> process = Process::start(argv, env);
  if (!process) return {};
  CommandResult result;
  result.status = process->waitForExit(timeout);
  result.output = process->output();
  return result;
}

}  // namespace e2e
