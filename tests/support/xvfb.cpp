// Private Xvfb for window tests: a free display number is one with neither a
// lock file nor a socket; the server is ready when its socket appears. It
// never resets: a reset when the last client leaves drops the next to come.
#include "xvfb.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>

namespace tervalon::test {

namespace {
bool exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}
}  // namespace

PrivateX::PrivateX() {
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
      execlp("Xvfb", "Xvfb", display_.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-fp",
             "built-ins", "-noreset", static_cast<char*>(nullptr));
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

std::vector<std::uint8_t> read_ppm(const std::string& path, int* width) {
  std::ifstream f(path, std::ios::binary);
  std::string magic;
  int w = 0, h = 0, max = 0;
  f >> magic >> w >> h >> max;
  f.get();
  std::vector<std::uint8_t> p(static_cast<std::size_t>(w > 0 ? w : 0) * (h > 0 ? h : 0) * 3);
  f.read(reinterpret_cast<char*>(p.data()), static_cast<std::streamsize>(p.size()));
  if (magic != "P6" || max != 255 || !f) p.clear();
  if (width) *width = w;
  return p;
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
  if (XGetWindowProperty(d, w, name, 0, 256, False, AnyPropertyType, &type, &format, &n, &after, &data) ==
          Success && data && format == 8)
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
