// The SDL back end: a real window on the window's thread, its events (input goes on to the input code;
// F11 and Alt+Enter toggle full screen here) and the wait for them; pictures go to the presenter.
#include "display/sdl/window.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <bitset>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>

#include "base/runtime_error.h"
#include "base/stop.h"
#include "display/backend.h"
#include "display/sdl/input.h"
#include "display/sdl/present.h"
#include "display/window.h"

namespace display {

namespace {

int lost_display(Display*) {
  static std::atomic<bool> ending{false};
  if (!ending.exchange(true)) {
    static constexpr char line[] = "display: the connection to the X server was lost\n";
    [[maybe_unused]] ssize_t n = write(STDERR_FILENO, line, sizeof line - 1);
    // While a run-time error's box is up its code ends the process.
    if (const int code = base::stopping_with()) _exit(code);
    // The game thread finishes its recording and ends the process; if it
    // cannot (waiting on this thread), what it saved last stays.
    base::ask_to_stop(LOST_DISPLAY);
    std::this_thread::sleep_for(std::chrono::seconds(2));
    _exit(LOST_DISPLAY);
  }
  for (;;) pause();  // another thread is ending the process
}

class Sdl final : public Backend {
 public:
  bool start(std::string& why) override {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) {
      // Without a display named SDL would try each video driver in turn and
      // print their complaints.
      if (!SDL_getenv("DISPLAY") && !SDL_getenv("WAYLAND_DISPLAY") && !SDL_getenv("SDL_VIDEODRIVER")) {
        why = "SDL could not start video: no display (neither DISPLAY nor WAYLAND_DISPLAY is set)";
        return false;
      }
      // Ctrl-C and kill end the program as usual instead of becoming events.
      SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
      // The window surface as plain shared memory: no software GL renderer
      // behind it, whose threads cost a core's worth of time and hide their
      // locking from the thread checker.
      SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
      if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        why = std::string("SDL could not start video: ") + SDL_GetError();
        return false;
      }
      // With no display SDL falls back to a window nobody can see; only a
      // user who asks for such a driver by name gets one.
      const std::string driver = SDL_GetCurrentVideoDriver();
      if ((driver == "offscreen" || driver == "dummy") && !SDL_getenv("SDL_VIDEODRIVER")) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        why = "SDL could not start video: no X11 or Wayland display found";
        return false;
      }
      wake_type_.store(SDL_RegisterEvents(1), std::memory_order_release);
      wake_fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
      // The platform's own key events as well as SDL's: SDL takes a key-up
      // and a key-down of the same key at the same millisecond for a key
      // repeat and drops the key-up; with these the loss is seen and undone.
      SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
      // A lost X server connection ends the process at once: one line on
      // standard error and exit code LOST_DISPLAY (or the run-time error's
      // number while its box is up); no destructor runs.
      XSetIOErrorHandler(lost_display);
    }
    return true;
  }

  void measure(std::int32_t& screen_w, std::int32_t& screen_h) override {
    SDL_Rect r{};
    SDL_GetDisplayBounds(0, &r);
    screen_w = r.w;
    screen_h = r.h;
  }

  void work_area(std::int32_t& w, std::int32_t& h) override {
    SDL_Rect r{};
    if (SDL_GetDisplayUsableBounds(0, &r) != 0) SDL_GetDisplayBounds(0, &r);
    w = r.w;
    h = r.h;
  }

  bool create(const WindowPlace& place, PlatformEvents& events, std::uint32_t& id, std::string& why) override {
    Uint32 flags = 0;
    if (place.fullscreen) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    if (!(place.style & WS_VISIBLE)) flags |= SDL_WINDOW_HIDDEN;
    if (place.style & WS_THICKFRAME) flags |= SDL_WINDOW_RESIZABLE;
    if ((place.style & WS_CAPTION) == 0) flags |= SDL_WINDOW_BORDERLESS;
    if (place.style & WS_MAXIMIZE) flags |= SDL_WINDOW_MAXIMIZED;
    if (place.style & WS_MINIMIZE) flags |= SDL_WINDOW_MINIMIZED;
    // Looking for controllers takes a millisecond or two: not before the
    // window's first pictures are out.
    controllers_at_ = SDL_GetTicks64() + 100;
    window_ = SDL_CreateWindow(place.title.c_str(), place.x, place.y, static_cast<int>(place.w),
                               static_cast<int>(place.h), flags);
    if (!window_) {
      why = "SDL could not make a window of " + std::to_string(place.w) + " x " + std::to_string(place.h) +
            " pixels: " + SDL_GetError();
      return false;
    }
    if (place.min_w && place.min_h)
      SDL_SetWindowMinimumSize(window_, static_cast<int>(place.min_w), static_cast<int>(place.min_h));
    const Picture& i = place.icon;
    if (SDL_Surface* icon = i.pixels && i.w && i.h
                                ? SDL_CreateRGBSurfaceWithFormatFrom(
                                      const_cast<std::uint32_t*>(i.pixels), static_cast<int>(i.w),
                                      static_cast<int>(i.h), 32, static_cast<int>(i.w * 4), SDL_PIXELFORMAT_XBGR8888)
                                : nullptr) {
      // SDL turns the keyed colour into transparency for the window manager.
      SDL_SetColorKey(icon, SDL_TRUE, place.icon_key);
      SDL_SetWindowIcon(window_, icon);
      SDL_FreeSurface(icon);
    }
    report_client_size(events);
    minimised_ = (SDL_GetWindowFlags(window_) & SDL_WINDOW_MINIMIZED) != 0;
    measure_frame(events);
    presenter_.open(window_, place.background, place.scaled, place.fit);  // the background until the first picture
    // The id other X clients know the window by (SDL's own id elsewhere).
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    id = SDL_GetWindowID(window_);
    if (SDL_GetWindowWMInfo(window_, &info) && info.subsystem == SDL_SYSWM_X11) {
      id = static_cast<std::uint32_t>(info.info.x11.window);
      x11_ = info.info.x11.display;
      polls_x11_.store(wake_fd_ >= 0, std::memory_order_release);
    }
    input_.open(id, place.alias_keys, &presenter_);
    return true;
  }

  void pump(PlatformEvents& events, std::int32_t wait_ms) override {
    SDL_Event e;
    if (!SDL_PollEvent(&e)) {
      start_controllers();  // only with every event taken
      if (wait_ms == 0 || !wait_event(e, wait_ms)) return;
    }
    handle(e, events);
    while (SDL_PollEvent(&e)) handle(e, events);
    input_.restore_dropped_key(events);  // everything dispatched is in: nothing followed it
  }

  void show(const Picture& picture) override { presenter_.show(picture); }

  void set_title(const std::string& utf8) override { SDL_SetWindowTitle(window_, utf8.c_str()); }

  void destroy() override {
    polls_x11_.store(false, std::memory_order_release);
    SDL_DestroyWindow(window_);
    window_ = nullptr;
  }

  void wake() override {
    if (polls_x11_.load(std::memory_order_acquire)) {
      const std::uint64_t one = 1;
      if (write(wake_fd_, &one, sizeof one) == sizeof one) return;
    }
    const Uint32 type = wake_type_.load(std::memory_order_acquire);
    if (type == 0 || type == static_cast<Uint32>(-1)) return;
    SDL_Event e{};
    e.type = type;
    SDL_PushEvent(&e);
  }

  bool shows_pictures() const override { return true; }

  // Straight from the X server on a connection of its own: SDL's video
  // belongs to the window thread, and there may be no window thread yet.
  // Both sides from one connection, kept for the display named: a server
  // with no other client resets when the last one leaves and drops the
  // connections made meanwhile (some 50 ms), so a query right after another
  // could fail; a failed one is tried again a little later, and a 0 is never kept.
  void screen_size(std::int32_t& w, std::int32_t& h) const override {
    w = h = 0;
    const char* name = SDL_getenv("DISPLAY");
    if (!name) return;
    const std::lock_guard<std::mutex> hold(screen_lock_);
    if (screen_of_ == name && screen_w_ > 0 && screen_h_ > 0) {
      w = screen_w_;
      h = screen_h_;
      return;
    }
    for (int attempt = 0; attempt < 4 && (w <= 0 || h <= 0); ++attempt) {
      if (attempt) std::this_thread::sleep_for(std::chrono::milliseconds(10 << attempt));
      if (Display* d = XOpenDisplay(name)) {
        w = DisplayWidth(d, DefaultScreen(d));
        h = DisplayHeight(d, DefaultScreen(d));
        XCloseDisplay(d);
      }
    }
    if (w <= 0 || h <= 0) {
      w = h = 0;
      return;
    }
    screen_of_ = name;
    screen_w_ = w;
    screen_h_ = h;
  }

 private:
  void report_client_size(PlatformEvents& events) {
    int w = 0, h = 0;
    SDL_GetWindowSize(window_, &w, &h);
    events.resized(static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h));
  }

  void measure_frame(PlatformEvents& events) {
    int top = 0, left = 0, bottom = 0, right = 0;
    if (SDL_GetWindowBordersSize(window_, &top, &left, &bottom, &right) != 0) top = left = bottom = 0;
    int x = 0, y = 0;
    SDL_GetWindowPosition(window_, &x, &y);  // the client area's corner
    events.placed({x - left, y - top, std::max(0, top - bottom), left, bottom});
  }

  // Game controllers, plugged in now or later, once the window's first
  // pictures are out; the game runs without them.
  void start_controllers() {
    const Uint64 now = SDL_GetTicks64();
    if (!controllers_tried_ && now >= controllers_at_) {
      // Never while another thread starts a subsystem (the sound's can take
      // seconds): this thread does not wait, it tries again a little later.
      if (std::unique_lock<std::mutex> starting(sdl_subsystems_lock(), std::try_to_lock); starting) {
        controllers_ = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
        controllers_tried_ = true;
      } else {
        controllers_at_ = now + 50;
      }
    }
  }

  // With every event taken: sleeps until the next event or wake(), or for
  // `wait_ms` at most (FOREVER: no limit). On X the wake-up is a counter
  // polled beside the X connection, not SDL's own, which is a message sent
  // through the X server. False when woken with no event. SDL reads an open
  // controller, and notices one plugged in, only while it looks for events:
  // with a pad open it looks every millisecond (as SDL's own wait does), with
  // none at least twice a second.
  bool wait_event(SDL_Event& e, std::int32_t wait_ms) {
    int timeout = input_.has_pads() ? 1 : controllers_ ? 500 : -1;
    if (const Uint64 now = SDL_GetTicks64(); !controllers_tried_)
      timeout = controllers_at_ > now ? static_cast<int>(controllers_at_ - now) + 1 : 1;
    if (wait_ms != FOREVER && (timeout < 0 || wait_ms < timeout)) timeout = wait_ms;
#if defined(SDL_VIDEO_DRIVER_X11)
    if (polls_x11_.load(std::memory_order_relaxed)) {
      XFlush(x11_);
      pollfd fds[2] = {{ConnectionNumber(x11_), POLLIN, 0}, {wake_fd_, POLLIN, 0}};
      while (poll(fds, 2, timeout) < 0 && errno == EINTR) {
      }
      std::uint64_t count;
      if (fds[1].revents & POLLIN) (void)!read(wake_fd_, &count, sizeof count);
      return SDL_PollEvent(&e);
    }
#endif
    return SDL_WaitEventTimeout(&e, timeout);
  }

  // F11 and Alt+Enter belong to the window: they turn full screen on and off,
  // and neither their key-downs (repeats included) nor their key-ups are queued.
  bool window_key(const SDL_KeyboardEvent& k) {
    const SDL_Scancode sc = k.keysym.scancode;
    if (sc >= window_keys_.size()) return false;
    if (window_keys_[sc]) {
      if (k.type == SDL_KEYUP) window_keys_[sc] = false;
      return true;
    }
    const bool enter = sc == SDL_SCANCODE_RETURN || sc == SDL_SCANCODE_KP_ENTER;
    if (k.type != SDL_KEYDOWN || k.repeat || !(sc == SDL_SCANCODE_F11 || (enter && (k.keysym.mod & KMOD_ALT))))
      return false;
    window_keys_[sc] = true;
    const bool full = SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN;
    SDL_SetWindowFullscreen(window_, full ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
    presenter_.show_again();
    return true;
  }

  void handle(const SDL_Event& e, PlatformEvents& events) {
    if (e.type == SDL_KEYDOWN || e.type == SDL_KEYUP)
      input_.key(e.key, window_key(e.key), events);
    else if (e.type == SDL_WINDOWEVENT)
      window_event(e.window, events);
    else
      input_.handle(e, events);
  }

  void window_event(const SDL_WindowEvent& w, PlatformEvents& events) {
    switch (w.event) {
      case SDL_WINDOWEVENT_CLOSE: events.close_requested(); break;
      case SDL_WINDOWEVENT_SIZE_CHANGED:
        if (!minimised_) events.resized(static_cast<std::uint32_t>(w.data1), static_cast<std::uint32_t>(w.data2));
        measure_frame(events);
        presenter_.resized();
        break;
      case SDL_WINDOWEVENT_MINIMIZED:
        // A minimised window has no client area.
        minimised_ = true;
        events.resized(0, 0);
        break;
      case SDL_WINDOWEVENT_RESTORED:
      case SDL_WINDOWEVENT_MAXIMIZED:
        if (minimised_) {
          minimised_ = false;
          report_client_size(events);
        }
        break;
      case SDL_WINDOWEVENT_FOCUS_GAINED:
      case SDL_WINDOWEVENT_TAKE_FOCUS:
        // Activating a minimised window restores it and brings it to the front.
        if (SDL_GetWindowFlags(window_) & SDL_WINDOW_MINIMIZED) {
          SDL_RestoreWindow(window_);
          SDL_RaiseWindow(window_);
        }
        break;
      case SDL_WINDOWEVENT_MOVED: measure_frame(events); break;
      case SDL_WINDOWEVENT_EXPOSED:
        presenter_.show_again();
        events.message(input_.make(WM_PAINT, 0, 0, w.timestamp));
        break;
      default: break;
    }
  }

  std::atomic<Uint32> wake_type_{0};
  int wake_fd_ = -1;                    // an event counter wake() adds to; pump() sleeps on it
  Display* x11_ = nullptr;              // the X connection, where there is one
  std::atomic<bool> polls_x11_{false};  // pump() watches x11_ and wake_fd_
  SDL_Window* window_ = nullptr;
  bool controllers_ = false, controllers_tried_ = false;
  Uint64 controllers_at_ = 0;
  bool minimised_ = false;
  std::bitset<SDL_NUM_SCANCODES> window_keys_;  // F11 or Enter of Alt+Enter, down
  Input input_;
  Presenter presenter_;
  // The screen size last answered, and the display it is of (any thread, under the lock).
  mutable std::mutex screen_lock_;
  mutable std::string screen_of_;
  mutable std::int32_t screen_w_ = 0, screen_h_ = 0;
};

}  // namespace

std::mutex& sdl_subsystems_lock() {
  static std::mutex& lock = *new std::mutex;  // a thread stuck in a sound server may hold it at exit
  return lock;
}

Backend& sdl_backend() {
  // Never destroyed: the window thread may still use it while the process exits.
  static Sdl& backend = *new Sdl;
  return backend;
}

void use_sdl_backend() { use_backend(sdl_backend(), true); }

}  // namespace display
