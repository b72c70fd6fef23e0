// Private Xvfb for window tests: a free display number is one with neither a
// lock file nor a socket; the server is ready when its socket appears.
#include "xvfb.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace tervalon::test {

namespace {
bool exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}
}  // namespace

PrivateX::PrivateX(const char* screen) {
  const std::string depth = std::string(screen) + "x24";
  for (int n = 90 + static_cast<int>(getpid() % 400); n < 1000; ++n) {
    const std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
    const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
    if (exists(lock) || exists(socket)) continue;
    display_ = ":" + std::to_string(n);
    pid_ = fork();
    if (pid_ == 0) {
      int devnull = open("/dev/null", O_WRONLY);
      dup2(devnull, 1);
      dup2(devnull, 2);
      execlp("Xvfb", "Xvfb", display_.c_str(), "-screen", "0", depth.c_str(), "-nolisten", "tcp",
             static_cast<char*>(nullptr));
      _exit(127);
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!exists(socket) && std::chrono::steady_clock::now() < until) {
      int status;
      if (waitpid(pid_, &status, WNOHANG) == pid_) break;  // lost the race for this number
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (exists(socket)) {
      setenv("DISPLAY", display_.c_str(), 1);
      unsetenv("WAYLAND_DISPLAY");
      return;
    }
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
}

namespace {
// Whether a window manager has announced itself on the root window.
bool window_manager_running() {
  Display* d = XOpenDisplay(nullptr);
  if (!d) return false;
  Atom type;
  int format;
  unsigned long items = 0, left;
  unsigned char* data = nullptr;
  XGetWindowProperty(d, DefaultRootWindow(d), XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", False), 0, 1, False,
                     AnyPropertyType, &type, &format, &items, &left, &data);
  if (data) XFree(data);
  XCloseDisplay(d);
  return items > 0;
}
}  // namespace

WindowManager::WindowManager() {
  // A loaded machine may have the server's socket up before it takes
  // connections: an openbox that could not connect is started again.
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!window_manager_running()) {
    int status;
    if (pid_ > 0 && waitpid(pid_, &status, WNOHANG) == pid_) pid_ = -1;
    if (std::chrono::steady_clock::now() > until) {
      if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
      }
      pid_ = -1;
      return;
    }
    if (pid_ <= 0) {
      pid_ = fork();
      if (pid_ == 0) {
        int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, 1);
        dup2(devnull, 2);
        execlp("openbox", "openbox", "--sm-disable", static_cast<char*>(nullptr));
        _exit(127);
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

WindowManager::~WindowManager() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
}

PrivateX::~PrivateX() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
}

std::string run(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
  }
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

bool press_close_button(unsigned long window) {
  Display* d = XOpenDisplay(nullptr);
  if (!d) return false;
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = window;
  e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(d, window, False, NoEventMask, &e);
  XCloseDisplay(d);
  return true;
}

void dismiss_error_boxes() {
  run("for w in $(xdotool search --name '^Error$' 2>/dev/null); do xdotool key --window $w Return; done");
}

}  // namespace tervalon::test
