// Waiting for a state, never for a time: the window tests share the machine
// with other work, so the game, the X server and the tools may each run late.
// A limit here is only a bound on a failure, never how long a step takes.
#pragma once

#include <signal.h>
#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace tervalon::test {

using namespace std::chrono_literals;

// How long a state may take to come before the test gives up: far beyond what
// any step takes even with every core busy.
inline constexpr std::chrono::milliseconds PATIENCE = 60s;

// Polls `ok` until it holds; false after `limit`.
template <typename Ok>
bool eventually(Ok ok, std::chrono::milliseconds limit = PATIENCE, std::chrono::milliseconds every = 20ms) {
  for (const auto until = std::chrono::steady_clock::now() + limit;;) {
    if (ok()) return true;
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(every);
  }
}

// Whether every thread of process `pid` is stopped (or gone).
inline bool all_stopped(pid_t pid) {
  std::error_code e;
  for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", e)) {
    std::string stat;
    std::getline(std::ifstream(task.path() / "stat"), stat);
    // The state follows the command name, which is in parentheses.
    const auto close = stat.rfind(')');
    if (close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'T' && stat[close + 2] != 't')
      return false;
  }
  return true;
}

// Holds a process stopped (SIGSTOP) while it lives, so that a moment seen on
// its window stays while the test acts on it; it goes on (SIGCONT) after.
class Frozen {
 public:
  explicit Frozen(pid_t pid) : pid_(pid) {
    kill(pid_, SIGSTOP);
    // The signal stops the threads a little later; a picture read before
    // then could still change.
    eventually([&] { return all_stopped(pid_); }, PATIENCE, 1ms);
  }
  ~Frozen() { kill(pid_, SIGCONT); }
  Frozen(const Frozen&) = delete;
  Frozen& operator=(const Frozen&) = delete;

 private:
  pid_t pid_;
};

// The game's mapped window (a GameProcess's), looked for again until it shows
// or the game ends; empty then.
template <typename Game>
std::string window_of(Game& game, std::chrono::milliseconds limit = PATIENCE) {
  std::string window;
  eventually([&] { return !(window = game.window()).empty() || !game.running(); }, limit);
  return window;
}

}  // namespace tervalon::test
