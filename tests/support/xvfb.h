// A private X server for tests that need a real window: starts Xvfb on a free
// display number, points DISPLAY at it, and stops it again.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "surface.h"

namespace tervalon::test {

class PrivateX {
 public:
  // Starts Xvfb with one 1280x1024x24 screen and sets DISPLAY; check ok().
  PrivateX();
  ~PrivateX();
  PrivateX(const PrivateX&) = delete;
  PrivateX& operator=(const PrivateX&) = delete;

  bool ok() const { return pid_ > 0; }
  const std::string& display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

// Screenshots and replay snaps are read with the display library's reader.
using display::read_ppm;

// Runs a shell command; its standard output, with trailing newlines removed.
std::string run(const std::string& command);

// Sends a window the close request a window manager sends for its close
// button; false when the X server cannot be reached.
bool press_close_button(unsigned long window);

// Presses Return on every window named "Error" (a run-time error's message box).
void dismiss_error_boxes();

}  // namespace tervalon::test
