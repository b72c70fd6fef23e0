// A private X server for tests that need a real window: starts Xvfb on a free
// display number, points DISPLAY at it (and the display library at its SDL
// back end), and stops it again.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "display/surface.h"

namespace tervalon::test {

class PrivateX {
 public:
  // Starts Xvfb with one screen of `screen` (W x H) at 24 bits and only the
  // server's built-in fonts (as on a fresh machine) and sets DISPLAY; check ok().
  explicit PrivateX(const char* screen = "1280x1024");
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

// A window manager (openbox) on the private server DISPLAY names, for as long
// as this lives: full screen needs one. Once ok(), it takes new windows in.
class WindowManager {
 public:
  WindowManager();
  ~WindowManager();
  WindowManager(const WindowManager&) = delete;
  WindowManager& operator=(const WindowManager&) = delete;

  bool ok() const { return pid_ > 0; }

 private:
  pid_t pid_ = -1;
};

// Screenshots and replay snaps are read with the display library's reader.
using display::read_ppm;

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
