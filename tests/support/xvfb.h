// A private X server for tests that need a real window: starts Xvfb on a free
// display number, points DISPLAY at it, and stops it again.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tervalon::test {

class PrivateX {
 public:
  // Starts Xvfb with one 1280x1024x24 screen and only the server's built-in
  // fonts (as on a fresh machine) and sets DISPLAY; check ok().
  PrivateX();
  ~PrivateX();
  PrivateX(const PrivateX&) = delete;
  PrivateX& operator=(const PrivateX&) = delete;

  bool ok() const { return pid_ > 0; }
  const std::string& display() const { return display_; }
  // Kills the server at once (SIGKILL), as a crash would end it.
  void kill_now();

 private:
  pid_t pid_ = -1;
  std::string display_;
};

// A binary PPM (a screenshot, a replay snap) as RGB bytes; empty when it is
// not one. `width`, when given, receives its width.
std::vector<std::uint8_t> read_ppm(const std::string& path, int* width = nullptr);

// Runs a shell command; its standard output, with trailing newlines removed.
std::string run(const std::string& command);

// Sends a window the close request a window manager sends for its close
// button; false when the X server cannot be reached.
bool press_close_button(unsigned long window);

// The mapped top-level windows captioned "Error" (run-time error boxes), found
// in the X window tree by their UTF-8 or plain name, whatever the locale.
std::vector<unsigned long> error_boxes();

// Presses Return on every error box.
void dismiss_error_boxes();

}  // namespace tervalon::test
