// The SDL back end: a real window on the window thread. SDL events become
// window messages; pictures are converted into the window's own surface.
#include <SDL.h>
#include <SDL_syswm.h>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>

#include "backend.h"
#include "runtime_error.h"
#include "sdl_keys.h"
#include "window.h"
#include "window_shared.h"

namespace display {

namespace {

// Whether there is a display to show anything on: without one SDL would try
// each video driver in turn and print their complaints.
bool display_named() {
  return SDL_getenv("DISPLAY") || SDL_getenv("WAYLAND_DISPLAY") || SDL_getenv("SDL_VIDEODRIVER");
}

void error_box(const std::string& text) {
  if (display_named()) SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "Error", text.c_str(), nullptr);
}

class Sdl final : public Backend {
 public:
  bool start(std::string& why) override {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) {
      if (!display_named()) {
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
    }
    set_error_box(error_box);
    return true;
  }

  void measure(std::int32_t& screen_w, std::int32_t& screen_h, std::int32_t& title,
               std::int32_t& border_w, std::int32_t& border_h) override {
    SDL_Rect r{};
    SDL_GetDisplayBounds(0, &r);
    screen_w = r.w;
    screen_h = r.h;
    title = border_w = border_h = 0;  // known once a window has a frame
  }

  bool create(const WindowPlace& place, std::uint32_t& id, std::uint32_t& client_w,
              std::uint32_t& client_h, std::string& why) override {
    Uint32 flags = 0;
    if (!(place.style & WS_VISIBLE)) flags |= SDL_WINDOW_HIDDEN;
    if (place.style & WS_THICKFRAME) flags |= SDL_WINDOW_RESIZABLE;
    if ((place.style & WS_CAPTION) == 0) flags |= SDL_WINDOW_BORDERLESS;
    if (place.style & WS_MAXIMIZE) flags |= SDL_WINDOW_MAXIMIZED;
    if (place.style & WS_MINIMIZE) flags |= SDL_WINDOW_MINIMIZED;
    background_ = place.background;
    window_ = SDL_CreateWindow(place.title.c_str(), place.x, place.y, static_cast<int>(place.w),
                               static_cast<int>(place.h), flags);
    if (!window_) {
      why = std::string("SDL could not make the window: ") + SDL_GetError();
      return false;
    }
    if (place.icon.pixels && place.icon.w && place.icon.h) set_icon(place.icon);
    int w = 0, h = 0;
    SDL_GetWindowSize(window_, &w, &h);
    client_w = static_cast<std::uint32_t>(w);
    client_h = static_cast<std::uint32_t>(h);
    minimised_ = (SDL_GetWindowFlags(window_) & SDL_WINDOW_MINIMIZED) != 0;
    last_ = {nullptr, 0, 0};
    measure_frame();
    show(last_);  // the background until the first picture
    // The id other X clients know the window by (SDL's own id elsewhere).
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    id = SDL_GetWindowID(window_);
    if (SDL_GetWindowWMInfo(window_, &info) && info.subsystem == SDL_SYSWM_X11) {
      id = static_cast<std::uint32_t>(info.info.x11.window);
      x11_ = info.info.x11.display;
      polls_x11_.store(wake_fd_ >= 0, std::memory_order_release);
    }
    id_ = id;
    return true;
  }

  void pump(PlatformEvents& events) override {
    SDL_Event e;
    if (!SDL_PollEvent(&e) && !wait_event(e)) return;
    handle(e, events);
    while (SDL_PollEvent(&e)) handle(e, events);
    restore_dropped_key(events);  // everything dispatched is in: nothing followed it
  }

  void show(const Picture& picture) override {
    last_ = picture;
    SDL_Surface* s = SDL_GetWindowSurface(window_);
    if (!s) return;
    const int w = std::min<int>(s->w, static_cast<int>(picture.w));
    const int h = std::min<int>(s->h, static_cast<int>(picture.h));
    if (w < s->w || h < s->h) {
      const std::uint32_t bg = background_;
      SDL_FillRect(s, nullptr, SDL_MapRGB(s->format, bg & 255, (bg >> 8) & 255, (bg >> 16) & 255));
    }
    if (w > 0 && h > 0) {
      if (s->format->format == SDL_PIXELFORMAT_XRGB8888 || s->format->format == SDL_PIXELFORMAT_ARGB8888) {
        // The usual X11 window format: red and blue trade places. A plain
        // loop the compiler vectorises beats SDL's general converter by far.
        for (int y = 0; y < h; ++y) {
          const std::uint32_t* from = picture.pixels + std::size_t(y) * picture.w;
          auto* to = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(s->pixels) + std::size_t(y) * s->pitch);
          for (int x = 0; x < w; ++x) {
            std::uint32_t p = from[x];
            to[x] = 0xFF000000u | (p & 0x00FF00u) | ((p & 0xFFu) << 16) | ((p >> 16) & 0xFFu);
          }
        }
      } else {
        SDL_ConvertPixels(w, h, SDL_PIXELFORMAT_XBGR8888, picture.pixels, static_cast<int>(picture.w * 4),
                          s->format->format, s->pixels, s->pitch);
      }
    }
    SDL_UpdateWindowSurface(window_);
  }

  void set_title(const std::string& utf8) override { SDL_SetWindowTitle(window_, utf8.c_str()); }

  void set_icon(const Picture& icon) override {
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(
        const_cast<std::uint32_t*>(icon.pixels), static_cast<int>(icon.w), static_cast<int>(icon.h),
        32, static_cast<int>(icon.w * 4), SDL_PIXELFORMAT_XBGR8888);
    if (!s) return;
    SDL_SetWindowIcon(window_, s);
    SDL_FreeSurface(s);
  }

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

 private:
  void measure_frame() {
    int top = 0, left = 0, bottom = 0, right = 0;
    if (SDL_GetWindowBordersSize(window_, &top, &left, &bottom, &right) != 0) top = left = bottom = 0;
    shared::border_width = left;
    shared::border_height = bottom;
    shared::border_title = std::max(0, top - bottom);
    int x = 0, y = 0;
    SDL_GetWindowPosition(window_, &x, &y);  // the client area's corner
    shared::window_x = x - left;
    shared::window_y = y - top;
  }

  // With every event taken: sleeps until the next event or wake(). On X the
  // wake-up is a counter polled beside the X connection, not SDL's own, which
  // is a message sent through the X server. False when woken with no event.
  bool wait_event(SDL_Event& e) {
#if defined(SDL_VIDEO_DRIVER_X11)
    if (polls_x11_.load(std::memory_order_relaxed)) {
      XFlush(x11_);
      pollfd fds[2] = {{ConnectionNumber(x11_), POLLIN, 0}, {wake_fd_, POLLIN, 0}};
      while (poll(fds, 2, -1) < 0 && errno == EINTR) {
      }
      std::uint64_t count;
      if (fds[1].revents & POLLIN) (void)!read(wake_fd_, &count, sizeof count);
      return SDL_PollEvent(&e);
    }
#endif
    return SDL_WaitEvent(&e);
  }

  MSG make(std::uint32_t code, std::int32_t wp, std::int32_t lp, Uint32 time) const {
    return {id_, code, wp, lp, time,
            {shared::mouse_x.load(std::memory_order_relaxed), shared::mouse_y.load(std::memory_order_relaxed)}};
  }

  void client_mouse(std::int32_t x, std::int32_t y) {
    shared::mouse_x = shared::window_x + shared::border_width + x;
    shared::mouse_y = shared::window_y + shared::border_height + shared::border_title + y;
  }

  // An X11 key event: SDL queues it before the key event it makes of it, if
  // it makes one. One still waiting when the next arrives (or when the queue
  // runs dry) was dropped, and is sent here under the key code its key had.
  void raw_key(const SDL_SysWMmsg& m, PlatformEvents& events) {
#if defined(SDL_VIDEO_DRIVER_X11)
    if (m.subsystem != SDL_SYSWM_X11) return;
    const XEvent& x = m.msg.x11.event;
    if (x.type != KeyPress && x.type != KeyRelease) return;
    restore_dropped_key(events);
    raw_ = {true, x.type == KeyPress, static_cast<std::uint8_t>(x.xkey.keycode)};
#else
    (void)m;
    (void)events;
#endif
  }

  void restore_dropped_key(PlatformEvents& events) {
    if (!raw_.waiting) return;
    raw_.waiting = false;
    if (std::int32_t vk = key_of_[raw_.keycode])
      events.message(make(raw_.down ? WM_KEYDOWN : WM_KEYUP, vk, key_lparam(raw_.down, raw_.down), SDL_GetTicks()));
  }

  void handle(const SDL_Event& e, PlatformEvents& events) {
    switch (e.type) {
      case SDL_SYSWMEVENT:
        raw_key(*e.syswm.msg, events);
        break;
      case SDL_KEYDOWN:
      case SDL_KEYUP: {
        const bool down = e.type == SDL_KEYDOWN;
        const std::int32_t vk = virtual_key(e.key.keysym.sym, e.key.keysym.scancode);
        if (raw_.waiting) {  // this is the waiting one, as SDL saw it
          key_of_[raw_.keycode] = vk;
          raw_.waiting = false;
        }
        events.message(make(down ? WM_KEYDOWN : WM_KEYUP, vk, key_lparam(down, e.key.repeat != 0),
                            e.key.timestamp));
        if (std::int32_t c = down ? control_character(e.key.keysym.scancode) : 0)
          events.message(make(WM_CHAR, c, key_lparam(true, e.key.repeat != 0), e.key.timestamp));
        break;
      }
      case SDL_TEXTINPUT: {
        // One character message per code point typed.
        const auto* p = reinterpret_cast<const unsigned char*>(e.text.text);
        while (*p) {
          int n = *p < 0x80 ? 0 : (*p >> 5) == 6 ? 1 : (*p >> 4) == 14 ? 2 : 3;
          std::uint32_t cp = n == 0 ? *p : *p & (0x3Fu >> n);
          ++p;
          for (int k = 0; k < n && *p; ++k, ++p) cp = (cp << 6) | (*p & 0x3Fu);
          events.message(make(WM_CHAR, static_cast<std::int32_t>(cp), 1, e.text.timestamp));
        }
        break;
      }
      case SDL_MOUSEMOTION:
        client_mouse(e.motion.x, e.motion.y);
        events.message(make(WM_MOUSEMOVE, 0, (e.motion.y << 16) | (e.motion.x & 0xFFFF), e.motion.timestamp));
        break;
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP: {
        const bool down = e.type == SDL_MOUSEBUTTONDOWN;
        std::uint32_t code = e.button.button == SDL_BUTTON_RIGHT    ? WM_RBUTTONDOWN
                             : e.button.button == SDL_BUTTON_MIDDLE ? WM_MBUTTONDOWN
                                                                    : WM_LBUTTONDOWN;
        client_mouse(e.button.x, e.button.y);
        events.message(make(down ? code : code + 1, 0, (e.button.y << 16) | (e.button.x & 0xFFFF),
                            e.button.timestamp));
        break;
      }
      case SDL_MOUSEWHEEL:
        events.message(make(WM_MOUSEWHEEL, static_cast<std::int32_t>(static_cast<std::uint32_t>(e.wheel.y * 120) << 16), 0,
                            e.wheel.timestamp));
        break;
      case SDL_DROPFILE:
        SDL_free(e.drop.file);
        events.message(make(WM_DROPFILES, 0, 0, e.drop.timestamp));
        break;
      case SDL_WINDOWEVENT:
        window_event(e.window, events);
        break;
      default:
        break;
    }
  }

  void window_event(const SDL_WindowEvent& w, PlatformEvents& events) {
    switch (w.event) {
      case SDL_WINDOWEVENT_CLOSE:
        events.close_requested();
        break;
      case SDL_WINDOWEVENT_SIZE_CHANGED:
        if (!minimised_) events.resized(static_cast<std::uint32_t>(w.data1), static_cast<std::uint32_t>(w.data2));
        measure_frame();
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
          int cw = 0, ch = 0;
          SDL_GetWindowSize(window_, &cw, &ch);
          events.resized(static_cast<std::uint32_t>(cw), static_cast<std::uint32_t>(ch));
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
      case SDL_WINDOWEVENT_MOVED:
        measure_frame();
        break;
      case SDL_WINDOWEVENT_EXPOSED:
        show(last_);
        events.message(make(WM_PAINT, 0, 0, w.timestamp));
        break;
      default:
        break;
    }
  }

  std::atomic<Uint32> wake_type_{0};
  int wake_fd_ = -1;           // an event counter wake() adds to; pump() sleeps on it
  Display* x11_ = nullptr;     // the X connection, where there is one
  std::atomic<bool> polls_x11_{false};  // pump() watches x11_ and wake_fd_
  SDL_Window* window_ = nullptr;
  std::uint32_t id_ = 0;
  std::uint32_t background_ = 0;
  bool minimised_ = false;
  Picture last_{nullptr, 0, 0};
  // The platform key event waiting for its SDL key event, and the key code
  // each platform key last came out as.
  struct {
    bool waiting = false, down = false;
    std::uint8_t keycode = 0;
  } raw_;
  std::int32_t key_of_[256] = {};
};

}  // namespace

void use_error_box() { set_error_box(error_box); }

Backend& sdl_backend() {
  // Never destroyed: the window thread may still use it while the process exits.
  static Sdl& backend = *new Sdl;
  return backend;
}

}  // namespace display
