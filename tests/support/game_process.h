// The real game binary in a folder of its own under the test's X server: start
// it, find its window, drive it with xdotool, read its picture and its end.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "xvfb.h"

extern char** environ;

namespace tervalon::test {

using namespace std::chrono_literals;

inline std::string fresh_dir() {
  char name[] = "/tmp/tervalon-fault-XXXXXX";
  return mkdtemp(name);
}

class GameProcess {
 public:
  // Starts the game in `dir`, which holds whatever level file the test made;
  // without `with_display` it gets no DISPLAY to open a window on. `args` are
  // its command-line options; unless they say otherwise the window opens at
  // the board's size, so that screenshots compare 1:1 with the replay tool's pictures.
  // `env_set` ("NAME=value") replaces inherited variables; XDG_DATA_HOME and
  // XDG_CONFIG_HOME are `dir` unless it sets them.
  explicit GameProcess(const std::string& dir, bool with_display = true, std::vector<std::string> args = {},
                       std::vector<std::string> env_set = {})
      : dir_(dir) {
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addchdir_np(&fa, dir_.c_str());
    posix_spawn_file_actions_addopen(&fa, 2, (dir_ + "/stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::string exe = std::string(TERVALON_BINARY_DIR) + "/game/tervalon";
    std::vector<char*> argv{exe.data()};
    if (std::find(args.begin(), args.end(), "--scale") == args.end()) args.insert(args.begin(), {"--scale", "1"});
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    // The player's own saves and settings never reach a test: the game keeps
    // its data and settings in the test's folder.
    // Sound goes to SDL's silent driver, so that a test hears nothing and
    // no test depends on the machine's sound server.
    // A returning player's settings (unless the test brings its own): no
    // first start's welcome, and the goal's outline, drawn over the window's
    // picture only, off, so that screenshots compare 1:1 with the replay
    // tool's pictures.
    if (std::none_of(env_set.begin(), env_set.end(),
                     [](const std::string& s) { return s.starts_with("XDG_CONFIG_HOME="); })) {
      std::filesystem::create_directories(dir_ + "/tervalon");
      if (!std::filesystem::exists(dir_ + "/tervalon/settings.ini"))
        std::ofstream(dir_ + "/tervalon/settings.ini") << "[play]\ngoal = no\n";
    }
    for (const std::string& own :
         {"XDG_DATA_HOME=" + dir_, "XDG_CONFIG_HOME=" + dir_, std::string("SDL_AUDIODRIVER=dummy")})
      if (std::none_of(env_set.begin(), env_set.end(),
                       [&](const std::string& s) { return s.starts_with(own.substr(0, own.find('=') + 1)); }))
        env_set.push_back(own);
    auto replaced = [&](std::string_view e) {
      if (!with_display && e.substr(0, 8) == "DISPLAY=") return true;
      for (const auto& set : env_set)
        if (e.substr(0, set.find('=') + 1) == std::string_view(set).substr(0, set.find('=') + 1)) return true;
      return false;
    };
    std::vector<char*> env;
    for (char** e = environ; *e; ++e)
      if (!replaced(*e)) env.push_back(*e);
    for (auto& set : env_set) env.push_back(set.data());
    env.push_back(nullptr);
    if (posix_spawn(&pid_, exe.c_str(), &fa, nullptr, argv.data(), env.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&fa);
  }
  ~GameProcess() {
    if (pid_ > 0 && code_ < 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  GameProcess(const GameProcess&) = delete;
  GameProcess& operator=(const GameProcess&) = delete;

  // The X id of the mapped game window (its title may say more after
  // "Tervalon"); empty if none shows within 30 s.
  const std::string& window() {
    if (window_.empty())
      window_ = run("timeout 30 xdotool search --sync --onlyvisible --name '^Tervalon' 2>/dev/null | head -1");
    return window_;
  }

  // xdotool commands aimed at the game: the window gets the focus first, so
  // that XTEST key events reach it as a user's would. (In one chain, key
  // commands would go to the focused window by XSendEvent instead.)
  void xdo(const std::string& commands) {
    run("xdotool windowfocus --sync " + window() + " 2>&1");
    run("xdotool " + commands + " 2>&1");
  }

  // The window's picture as the X server holds it (RGB), and its width.
  std::vector<std::uint8_t> screenshot(int* width = nullptr) {
    const std::string path = dir_ + "/shot.ppm";
    run("import -window " + window() + " -depth 8 ppm:" + path + " 2>/dev/null");
    return read_ppm(path, width);
  }

  // Waits until the window's picture satisfies `ok`; false after `limit`.
  // Polling, not sleeping a fixed time: a loaded machine may run the game late.
  template <typename Ok>
  bool wait_picture(Ok ok, std::chrono::milliseconds limit = 8s) {
    for (auto until = std::chrono::steady_clock::now() + limit; std::chrono::steady_clock::now() < until;) {
      if (ok(screenshot())) return true;
      std::this_thread::sleep_for(100ms);
    }
    return false;
  }

  // The window's title.
  std::string title() { return run("xdotool getwindowname " + window() + " 2>/dev/null"); }

  // Stops the whole process for `pause` and lets it go on, as a loaded machine
  // would: the game then catches up in one burst of frames.
  void stall(std::chrono::milliseconds pause) {
    kill(pid_, SIGSTOP);
    std::this_thread::sleep_for(pause);
    kill(pid_, SIGCONT);
  }

  const std::string& dir() const { return dir_; }

  // Whether the process still runs.
  bool running() {
    poll();
    return code_ < 0;
  }
  // The exit code (128 + signal when killed by one); -1 while it runs.
  int exit_code() {
    poll();
    return code_;
  }
  pid_t pid() const { return pid_; }

  // The exit code (128 + signal when killed by one), dismissing run-time error
  // boxes while waiting; -1 if the game still runs after `limit`.
  int wait_exit(std::chrono::milliseconds limit = 10s) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (running() && std::chrono::steady_clock::now() < until) {
      dismiss_error_boxes();
      std::this_thread::sleep_for(50ms);
    }
    return code_;
  }

  std::string err() const {
    std::ostringstream s;
    s << std::ifstream(dir_ + "/stderr").rdbuf();
    return s.str();
  }

 private:
  void poll() {
    int status;
    if (code_ < 0 && pid_ > 0 && waitpid(pid_, &status, WNOHANG) == pid_)
      code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

  std::string dir_;
  pid_t pid_ = -1;
  int code_ = -1;
  std::string window_;
};

// The replay tool's picture after `script` on the level file in `dir`.
inline std::vector<std::uint8_t> replay_picture(const std::string& dir, const std::string& script) {
  std::ofstream(dir + "/replay-script") << script << "snap replay.ppm\n";
  run("cd '" + dir + "' && '" + TERVALON_BINARY_DIR + "/tools/tervalon-replay' replay-script > /dev/null");
  return read_ppm(dir + "/replay.ppm");
}

}  // namespace tervalon::test
