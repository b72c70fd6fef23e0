// The screen's size before any window, from an X server that resets when its
// last client leaves (as a desktop's server does with no other client), where
// a connection made during the reset fails: both sides, every time, and no
// answer kept from before the server was there.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "display/sdl/window.h"
#include "display/window.h"

namespace {

bool exists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

TEST(ScreenBeforeAnyWindow, BothSidesEveryTimeAndNoFailureKept) {
  int n = 600 + static_cast<int>(getpid() % 300);
  while (exists("/tmp/.X" + std::to_string(n) + "-lock") || exists("/tmp/.X11-unix/X" + std::to_string(n))) ++n;
  const std::string name = ":" + std::to_string(n), socket = "/tmp/.X11-unix/X" + std::to_string(n);
  setenv("DISPLAY", name.c_str(), 1);
  display::use_sdl_backend();
  EXPECT_EQ(display::GETSCRWIDTH(), 0) << "no server there yet";

  const pid_t server = fork();
  if (server == 0) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    execlp("Xvfb", "Xvfb", name.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
           static_cast<char*>(nullptr));
    _exit(127);
  }
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!exists(socket) && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  for (int i = 0; i < 50; ++i) {
    EXPECT_EQ(display::GETSCRWIDTH(), 1024) << "call " << i;
    EXPECT_EQ(display::GETSCRHEIGHT(), 768) << "call " << i;
  }
  kill(server, SIGTERM);
  waitpid(server, nullptr, 0);
}

}  // namespace
