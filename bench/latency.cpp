// Key to picture, measured from outside through a private X server: presses
// keys into the game and into a minimal SDL2 program (XTest), sees each new
// picture arrive (XDamage, then the window's pixels through XShm), and reads
// CPU time and context switches from /proc. Prints both side by side.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <X11/keysym.h>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr double FRAME = 1.0 / 60.0;

double now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

void sleep_s(double s) {
  if (s > 0) std::this_thread::sleep_for(std::chrono::duration<double>(s));
}

[[noreturn]] void die(const std::string& why) {
  std::fprintf(stderr, "latency: %s\n", why.c_str());
  std::exit(1);
}

struct Options {
  std::string game = TERVALON_GAME, reference = LATENCY_REFERENCE, data = TERVALON_DATA;
  int presses = 120, rounds = 2, starts = 5;
  double held = 15, still = 5;
};

// Xvfb on a display number it picks itself.
struct Xvfb {
  pid_t pid = -1;
  std::string display;
  Xvfb() {
    int fds[2];
    if (pipe(fds) != 0) die("no pipe");
    pid = fork();
    if (pid == 0) {
      close(fds[0]);
      int null = open("/dev/null", O_WRONLY);
      dup2(null, 1);
      dup2(null, 2);
      const std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
             static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    // The number comes once the server is ready, then a newline.
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (number.empty()) die("Xvfb did not start");
    display = ":" + number;
    setenv("DISPLAY", display.c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
  }
  ~Xvfb() {
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
  }
};

// CPU seconds and context switches of a process, all its threads together.
struct Usage {
  double cpu = 0;
  long switches = 0;
};
Usage usage(pid_t pid) {
  Usage u;
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(stat, line);
  // Fields after the command name (which may hold spaces): utime is the 14th.
  std::istringstream rest(line.substr(line.rfind(')') + 2));
  std::string field;
  unsigned long long ticks = 0;
  for (int i = 3; i <= 15 && rest >> field; ++i)
    if (i >= 14) ticks += std::stoull(field);
  u.cpu = static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  if (DIR* d = opendir(tasks.c_str())) {
    while (dirent* t = readdir(d)) {
      if (t->d_name[0] == '.') continue;
      std::ifstream status(tasks + "/" + t->d_name + "/status");
      while (std::getline(status, line))
        if (line.rfind("voluntary_ctxt_switches:", 0) == 0 || line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
          u.switches += std::stol(line.substr(line.find(':') + 1));
    }
    closedir(d);
  }
  return u;
}

struct Stats {
  std::vector<double> latency;    // seconds, key sent to picture
  std::vector<double> intervals;  // seconds between pictures with a key held
  std::vector<double> start;      // seconds, exec to first picture
  std::vector<double> cpu_moving, cpu_still, switches_moving, switches_still;  // per round
};

double quantile(std::vector<double> v, double q) {
  if (v.empty()) return NAN;
  std::sort(v.begin(), v.end());
  return v[static_cast<std::size_t>(std::lround(q * static_cast<double>(v.size() - 1)))];
}
double mean(const std::vector<double>& v) {
  double s = 0;
  for (double x : v) s += x;
  return v.empty() ? NAN : s / static_cast<double>(v.size());
}
double stddev(const std::vector<double>& v) {
  double m = mean(v), s = 0;
  for (double x : v) s += (x - m) * (x - m);
  return v.size() < 2 ? NAN : std::sqrt(s / static_cast<double>(v.size() - 1));
}

class Session {
 public:
  explicit Session(Display* dpy) : dpy_(dpy) {
    int error = 0, major = 0, minor = 0;
    Bool pixmaps = False;
    if (!XDamageQueryExtension(dpy_, &damage_event_, &error)) die("the X server has no DAMAGE");
    if (!XTestQueryExtension(dpy_, &error, &error, &major, &minor)) die("the X server has no XTEST");
    if (!XShmQueryVersion(dpy_, &major, &minor, &pixmaps)) die("the X server has no MIT-SHM");
    XAutoRepeatOff(dpy_);  // a held key is one press, as a player's would be with repeat ignored
    XSelectInput(dpy_, DefaultRootWindow(dpy_), SubstructureNotifyMask);
    XSync(dpy_, False);
  }

  // Starts `argv` in `dir` and waits for its first picture that is not a
  // single colour; the seconds from fork to that picture. The game keeps its
  // settings and journey in `dir`, the journey new at each start: one it
  // found would open with its menu, where arrow keys move nothing.
  double launch(const std::vector<std::string>& argv, const std::string& dir) {
    drain();
    std::filesystem::remove_all(dir + "/data");
    // A returning player's settings: the first start's welcome would take
    // the first key.
    std::filesystem::create_directories(dir + "/config/tervalon");
    if (!std::filesystem::exists(dir + "/config/tervalon/settings.ini"))
      std::ofstream(dir + "/config/tervalon/settings.ini") << "# latency\n";
    const double t0 = now();
    pid_ = fork();
    if (pid_ == 0) {
      if (chdir(dir.c_str()) != 0) _exit(127);
      setenv("XDG_DATA_HOME", (dir + "/data").c_str(), 1);
      setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
      int null = open("/dev/null", O_WRONLY);
      dup2(null, 1);
      dup2(null, 2);
      std::vector<char*> args;
      args.reserve(argv.size() + 1);
      for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
      args.push_back(nullptr);
      execv(args[0], args.data());
      _exit(127);
    }
    window_ = 0;
    while (!window_) {
      XEvent e;
      if (!next_event(e, t0 + 10)) die("no window from " + argv[0]);
      if (e.type != MapNotify) continue;
      XWindowAttributes a;
      if (XGetWindowAttributes(dpy_, e.xmap.window, &a) && a.width >= 64 && a.height >= 64) window_ = e.xmap.window;
    }
    attach();
    // The picture may already be there before the damage object existed.
    if (grab() && !uniform()) return (last_picture_ = now()) - t0;
    for (;;) {
      XEvent e;
      if (!next_event(e, t0 + 10)) die("no picture from " + argv[0]);
      if (e.type != damage_event_ + XDamageNotify) continue;
      const double t = now();
      if (grab() && !uniform()) return (last_picture_ = t) - t0;
    }
  }

  void stop() {
    if (pid_ <= 0) return;
    detach();
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

  pid_t pid() const { return pid_; }

  // The time of the next picture that differs from the last one seen; < 0
  // when none comes before `deadline`.
  double next_picture(double deadline) {
    for (;;) {
      XEvent e;
      if (!next_event(e, deadline)) return -1;
      if (e.type != damage_event_ + XDamageNotify) continue;
      const double t = now();
      if (grab()) return last_picture_ = t;
    }
  }

  // When the last picture seen came: a point on the program's frame beat.
  double last_picture() const { return last_picture_; }

  // Waits until no new picture has come for `quiet` seconds (at most 5 s).
  void settle(double quiet = 0.3) {
    const double give_up = now() + 5;
    while (next_picture(std::min(now() + quiet, give_up)) >= 0) {
    }
  }

  void key(KeySym k, bool down) {
    XTestFakeKeyEvent(dpy_, XKeysymToKeycode(dpy_, k), down, CurrentTime);
    XFlush(dpy_);
  }

 private:
  bool next_event(XEvent& e, double deadline) {
    while (!XPending(dpy_)) {
      const double left = deadline - now();
      if (left <= 0) return false;
      pollfd p{ConnectionNumber(dpy_), POLLIN, 0};
      poll(&p, 1, static_cast<int>(std::ceil(left * 1000)));
    }
    XNextEvent(dpy_, &e);
    return true;
  }

  void drain() {
    while (XPending(dpy_)) {
      XEvent e;
      XNextEvent(dpy_, &e);
    }
  }

  void attach() {
    XWindowAttributes a;
    XGetWindowAttributes(dpy_, window_, &a);
    image_ = XShmCreateImage(dpy_, a.visual, static_cast<unsigned>(a.depth), ZPixmap, nullptr, &shm_,
                             static_cast<unsigned>(a.width), static_cast<unsigned>(a.height));
    shm_.shmid = shmget(IPC_PRIVATE, static_cast<std::size_t>(image_->bytes_per_line) * image_->height,
                        IPC_CREAT | 0600);
    shm_.shmaddr = image_->data = static_cast<char*>(shmat(shm_.shmid, nullptr, 0));
    shm_.readOnly = False;
    XShmAttach(dpy_, &shm_);
    shmctl(shm_.shmid, IPC_RMID, nullptr);
    last_.assign(static_cast<std::size_t>(image_->bytes_per_line) * image_->height, 0);
    damage_ = XDamageCreate(dpy_, window_, XDamageReportNonEmpty);
    // Key presses go to this window wherever the pointer is.
    XSetInputFocus(dpy_, window_, RevertToPointerRoot, CurrentTime);
    XSync(dpy_, False);
  }

  void detach() {
    XDamageDestroy(dpy_, damage_);
    XShmDetach(dpy_, &shm_);
    XSync(dpy_, False);
    shmdt(shm_.shmaddr);
    image_->data = nullptr;
    XDestroyImage(image_);
    image_ = nullptr;
  }

  // Takes the damage and reads the window; true when its pixels changed.
  bool grab() {
    XDamageSubtract(dpy_, damage_, None, None);
    if (!XShmGetImage(dpy_, window_, image_, 0, 0, AllPlanes)) return false;
    if (std::memcmp(last_.data(), image_->data, last_.size()) == 0) return false;
    std::memcpy(last_.data(), image_->data, last_.size());
    return true;
  }

  bool uniform() const {
    const auto* p = reinterpret_cast<const std::uint32_t*>(last_.data());
    const std::size_t n = last_.size() / 4;
    return std::all_of(p, p + n, [&](std::uint32_t v) { return (v & 0xFFFFFF) == (p[0] & 0xFFFFFF); });
  }

  Display* dpy_;
  int damage_event_ = 0;
  pid_t pid_ = -1;
  Window window_ = 0;
  Damage damage_ = 0;
  XShmSegmentInfo shm_{};
  XImage* image_ = nullptr;
  std::vector<char> last_;
  double last_picture_ = 0;
};

// One program, one round: start-ups, then key presses, then keys held, then
// standing still.
void measure(Session& s, const Options& o, const std::vector<std::string>& argv, const std::string& dir, Stats& st,
             std::mt19937& rng) {
  for (int i = 0; i < o.starts; ++i) {
    st.start.push_back(s.launch(argv, dir));
    s.stop();
  }
  st.start.push_back(s.launch(argv, dir));
  s.settle();

  // Presses from standing still, Right and Left in turn so the player stays
  // where it was. Their moments within the program's frame, timed from its
  // last picture, are spread evenly over the frame in a shuffled order: at
  // random moments the median of a hundred presses would vary by a tenth of
  // a frame from run to run, hiding the difference it is there to show.
  std::vector<double> phases;
  phases.reserve(static_cast<std::size_t>(o.presses));
  for (int i = 0; i < o.presses; ++i) phases.push_back((i + 0.5) / o.presses * FRAME);
  std::shuffle(phases.begin(), phases.end(), rng);
  for (int i = 0; i < o.presses; ++i) {
    const KeySym k = i % 2 ? XK_Left : XK_Right;
    double at = s.last_picture() + phases[i];
    at += FRAME * std::ceil((now() + 0.001 - at) / FRAME);
    sleep_s(at - now());
    const double sent = now();
    s.key(k, true);
    const double seen = s.next_picture(sent + 1);
    if (seen >= 0) st.latency.push_back(seen - sent);
    sleep_s(sent + 0.12 - now());
    s.key(k, false);
    s.settle();
  }

  // Keys held: Left for half a second to reach the left of the room, then
  // Right and Left for a second each, so the player runs without stopping.
  double held = 0, cpu = 0;
  long switches = 0;
  for (int i = 0; held < o.held; ++i) {
    const KeySym k = i % 2 ? XK_Right : XK_Left;
    const double length = i == 0 ? 0.5 : 1.0;
    const Usage before = usage(s.pid());
    const double start = now();
    s.key(k, true);
    double last = -1;
    while (true) {
      const double t = s.next_picture(start + length);
      if (t < 0) break;
      if (last >= 0) st.intervals.push_back(t - last);
      last = t;
    }
    s.key(k, false);
    const Usage after = usage(s.pid());
    held += now() - start;
    cpu += after.cpu - before.cpu;
    switches += after.switches - before.switches;
    s.settle();
  }
  st.cpu_moving.push_back(cpu / held);
  st.switches_moving.push_back(static_cast<double>(switches) / held);

  const Usage before = usage(s.pid());
  const double start = now();
  sleep_s(o.still);
  const Usage after = usage(s.pid());
  st.cpu_still.push_back((after.cpu - before.cpu) / (now() - start));
  st.switches_still.push_back(static_cast<double>(after.switches - before.switches) / (now() - start));
  s.stop();
}

std::string spread(const std::vector<double>& v, double scale, const char* format) {
  char buf[64];
  std::string out;
  for (double x : v) {
    std::snprintf(buf, sizeof buf, format, x * scale);
    out += (out.empty() ? "" : " ") + std::string(buf);
  }
  return out;
}

void row(const char* name, double game, double ref, const char* format = "%.2f") {
  char g[32], r[32];
  std::snprintf(g, sizeof g, format, game);
  std::snprintf(r, sizeof r, format, ref);
  std::printf("| %-40s | %10s | %10s | %6.2f |\n", name, g, r, ref != 0 ? game / ref : NAN);
}

void report(const Stats& g, const Stats& r) {
  auto late = [](const std::vector<double>& v) {
    return static_cast<double>(std::count_if(v.begin(), v.end(), [](double x) { return x > 1.25 * FRAME; }));
  };
  auto doubled = [](const std::vector<double>& v) {
    return static_cast<double>(std::count_if(v.begin(), v.end(), [](double x) { return x < 0.5 * FRAME; }));
  };
  std::printf("| %-40s | %10s | %10s | %6s |\n", "measure", "game", "minimal", "ratio");
  std::printf("|------------------------------------------|------------|------------|--------|\n");
  row("key to picture, min (ms)", 1e3 * quantile(g.latency, 0), 1e3 * quantile(r.latency, 0));
  row("key to picture, median (ms)", 1e3 * quantile(g.latency, 0.5), 1e3 * quantile(r.latency, 0.5));
  row("key to picture, p95 (ms)", 1e3 * quantile(g.latency, 0.95), 1e3 * quantile(r.latency, 0.95));
  row("key to picture, max (ms)", 1e3 * quantile(g.latency, 1), 1e3 * quantile(r.latency, 1));
  row("frame interval, mean (ms)", 1e3 * mean(g.intervals), 1e3 * mean(r.intervals), "%.3f");
  row("frame interval, standard deviation (ms)", 1e3 * stddev(g.intervals), 1e3 * stddev(r.intervals), "%.3f");
  row("late pictures (> 1.25 frames)", late(g.intervals), late(r.intervals), "%.0f");
  row("doubled pictures (< 0.5 frame)", doubled(g.intervals), doubled(r.intervals), "%.0f");
  row("pictures measured with a key held", static_cast<double>(g.intervals.size()),
      static_cast<double>(r.intervals.size()), "%.0f");
  row("CPU moving (% of a core)", 100 * mean(g.cpu_moving), 100 * mean(r.cpu_moving));
  row("CPU standing still (% of a core)", 100 * mean(g.cpu_still), 100 * mean(r.cpu_still));
  row("context switches a second, moving", mean(g.switches_moving), mean(r.switches_moving), "%.0f");
  row("context switches a second, standing", mean(g.switches_still), mean(r.switches_still), "%.0f");
  row("exec to first picture, median (ms)", 1e3 * quantile(g.start, 0.5), 1e3 * quantile(r.start, 0.5));
  std::printf("\nper round (game | minimal):\n");
  std::printf("  CPU moving %%:        %s | %s\n", spread(g.cpu_moving, 100, "%.1f").c_str(),
              spread(r.cpu_moving, 100, "%.1f").c_str());
  std::printf("  CPU still %%:         %s | %s\n", spread(g.cpu_still, 100, "%.1f").c_str(),
              spread(r.cpu_still, 100, "%.1f").c_str());
  std::printf("  exec to picture ms:  %s | %s\n", spread(g.start, 1e3, "%.0f").c_str(),
              spread(r.start, 1e3, "%.0f").c_str());
}

Options parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
    if (!v)
      die("usage: latency [--game PATH] [--reference PATH] [--data FILE] [--rounds N] [--presses N]"
          " [--starts N] [--held SECONDS] [--still SECONDS]");
    ++i;
    if (a == "--game")
      o.game = v;
    else if (a == "--reference")
      o.reference = v;
    else if (a == "--data")
      o.data = v;
    else if (a == "--rounds")
      o.rounds = std::stoi(v);
    else if (a == "--presses")
      o.presses = std::stoi(v);
    else if (a == "--starts")
      o.starts = std::stoi(v);
    else if (a == "--held")
      o.held = std::stod(v);
    else if (a == "--still")
      o.still = std::stod(v);
    else
      die("unknown option " + a);
  }
  return o;
}

}  // namespace

int main(int argc, char** argv) {
  const Options o = parse(argc, argv);
  namespace fs = std::filesystem;
  char dir_template[] = "/tmp/tervalon-latency-XXXXXX";
  const char* made = mkdtemp(dir_template);
  if (!made) die("no temporary folder");
  const std::string dir = made;
  fs::copy_file(o.data, dir + "/tervalon.dat");

  Stats game, reference;
  {
    Xvfb x;
    Display* dpy = XOpenDisplay(x.display.c_str());
    if (!dpy) die("cannot reach Xvfb at " + x.display);
    Session s(dpy);
    std::mt19937 rng(14);
    for (int r = 0; r < o.rounds; ++r) {
      measure(s, o, {fs::absolute(o.game).string(), "--scale", "1"}, dir, game, rng);
      measure(s, o, {fs::absolute(o.reference).string()}, dir, reference, rng);
      std::fprintf(stderr, "latency: round %d of %d done\n", r + 1, o.rounds);
    }
    XCloseDisplay(dpy);
  }
  fs::remove_all(dir);
  report(game, reference);
  return 0;
}
