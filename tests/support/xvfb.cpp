// Private Xvfb for window tests: a free display number is one with neither a
// lock file nor a socket; the server is ready when its socket appears. It
// never resets: a reset when the last client leaves drops the next to come.
#include "xvfb.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "display/sdl/window.h"

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
      execlp("Xvfb", "Xvfb", display_.c_str(), "-screen", "0", depth.c_str(), "-nolisten", "tcp", "-fp", "built-ins",
             "-noreset", static_cast<char*>(nullptr));
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
      // No session bus to look for: without an address SDL's bus library
      // forks a helper from the game's window thread, and under the thread
      // checker that child can hang in the allocator, holding the window back.
      setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
      display::use_sdl_backend();  // windows this process opens from now on are real ones
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

// Whether the window manager has taken window `w` in: framed and shown.
bool managed(Display* d, Window w) {
  XWindowAttributes a;
  Window root, parent, *children = nullptr;
  unsigned n = 0;
  if (!XGetWindowAttributes(d, w, &a) || !XQueryTree(d, w, &root, &parent, &children, &n)) return false;
  if (children) XFree(children);
  return a.map_state == IsViewable && parent != root;
}

// Whether the window manager takes new windows in by `until`. Openbox
// announces itself before it reads its first request, and a window mapped in
// between is never shown (its creator waits for it for ever): a probe window
// must be taken in first. A probe lost that way is replaced, each given
// longer than the last.
bool takes_new_windows(std::chrono::steady_clock::time_point until) {
  Display* d = XOpenDisplay(nullptr);
  if (!d) return false;
  bool taken = false;
  for (auto allow = std::chrono::milliseconds(500); !taken && std::chrono::steady_clock::now() < until; allow *= 2) {
    const Window probe = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
    XMapWindow(d, probe);
    XSync(d, False);
    for (const auto end = std::chrono::steady_clock::now() + allow;
         !(taken = managed(d, probe)) && std::chrono::steady_clock::now() < std::min(end, until);)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    XDestroyWindow(d, probe);
    XSync(d, False);
  }
  XCloseDisplay(d);
  return taken;
}
}  // namespace

WindowManager::WindowManager() {
  // A loaded machine may have the server's socket up before it takes
  // connections: an openbox that could not connect is started again.
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!window_manager_running() || !takes_new_windows(until)) {
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

void PrivateX::kill_now() {
  if (pid_ <= 0) return;
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
  // What a killed server leaves behind would keep its number taken.
  const std::string n = display_.substr(1);
  unlink(("/tmp/.X" + n + "-lock").c_str());
  unlink(("/tmp/.X11-unix/X" + n).c_str());
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

namespace {
// A window that vanishes while the tree is read is no error here.
int ignore_x_error(Display*, XErrorEvent*) { return 0; }

std::string text_property(Display* d, Window w, Atom name) {
  Atom type;
  int format;
  unsigned long n, after;
  unsigned char* data = nullptr;
  std::string text;
  if (XGetWindowProperty(d, w, name, 0, 256, False, AnyPropertyType, &type, &format, &n, &after, &data) == Success &&
      data && format == 8)
    text.assign(reinterpret_cast<char*>(data), n);
  if (data) XFree(data);
  return text;
}
}  // namespace

std::vector<unsigned long> error_boxes() {
  std::vector<unsigned long> boxes;
  Display* d = XOpenDisplay(nullptr);
  if (!d) return boxes;
  auto* before = XSetErrorHandler(ignore_x_error);
  Window root, parent, *children = nullptr;
  unsigned n = 0;
  if (XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &n)) {
    const Atom net_name = XInternAtom(d, "_NET_WM_NAME", False);
    for (unsigned i = 0; i < n; ++i) {
      XWindowAttributes a;
      if (!XGetWindowAttributes(d, children[i], &a) || a.map_state != IsViewable) continue;
      if (text_property(d, children[i], net_name) == "Error" || text_property(d, children[i], XA_WM_NAME) == "Error")
        boxes.push_back(children[i]);
    }
  }
  if (children) XFree(children);
  XSync(d, False);
  XSetErrorHandler(before);
  XCloseDisplay(d);
  return boxes;
}

void dismiss_error_boxes() {
  for (unsigned long box : error_boxes())
    run("xdotool windowfocus --sync " + std::to_string(box) + " key Return 2>/dev/null");
}

}  // namespace tervalon::test
