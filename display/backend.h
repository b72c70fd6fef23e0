// What a platform back end supplies to the window's driver, library-internal: one folder per back end
// (display/sdl: a real window; display/headless: an off-screen one), each using this file only.
#pragma once

#include <cstdint>
#include <string>

#include "display/changed_rows.h"
#include "display/queue.h"

namespace display {

// Where the window is on the screen (outer top-left) and its frame: caption
// height and sizing-frame width and height.
struct WindowFrame {
  std::int32_t x, y, title, border_w, border_h;
};

// Where the driver learns what happened on the platform. The window's thread:
// the window thread, or the caller's under the inline driver.
class PlatformEvents {
 public:
  virtual void message(const MSG& m) = 0;                      // to the window queue
  virtual void resized(std::uint32_t w, std::uint32_t h) = 0;  // a client size report
  virtual void close_requested() = 0;                          // the close command
  virtual void placed(const WindowFrame& frame) = 0;           // moved, or its frame measured
 protected:
  ~PlatformEvents() = default;
};

// A picture for the window: w x h pixels 0x00BBGGRR, row by row. `rows`, when
// given, marks the rows that differ from the picture shown before it.
struct Picture {
  const std::uint32_t* pixels;
  std::uint32_t w, h;
  const ChangedRows* rows = nullptr;
};

struct WindowPlace {
  std::int32_t x, y;   // outer top-left on the screen
  std::uint32_t w, h;  // client size
  std::uint32_t style;
  std::uint32_t background;  // 0x00BBGGRR shown before the first picture
  // Pictures of a fixed size, scaled to the client area; otherwise pictures
  // of the client size, shown 1:1.
  bool scaled = false;
  bool fit = false;                    // scaled pictures fill the window at any factor, not whole ones only
  std::uint32_t min_w = 0, min_h = 0;  // the smallest client size a user can make (0: any)
  bool fullscreen = false;             // opens in desktop full screen
  bool alias_keys = false;             // A, D, W and Space arrive as arrow keys
  std::string title{};                 // UTF-8
  Picture icon{nullptr, 0, 0};         // none when empty
  std::uint32_t icon_key = 0;          // the icon's transparent colour, 0x00BBGGRR
};

// Every operation but wake() and screen_size() is called by the driver on the
// window's thread: the window thread of the threaded driver, or the thread
// that opened the window under the inline driver.
class Backend {
 public:
  virtual ~Backend() = default;
  // Window's thread, at CREATEWIN: brings up the platform; false with the reason.
  virtual bool start(std::string& why) = 0;
  // Window's thread, after start: the screen size.
  virtual void measure(std::int32_t& screen_w, std::int32_t& screen_h) { screen_size(screen_w, screen_h); }
  // Window's thread, after start: the part of the screen windows may use
  // (without panels and docks).
  virtual void work_area(std::int32_t& w, std::int32_t& h) { screen_size(w, h); }
  // Window's thread, at CREATEWIN: makes the window; on success gives its id,
  // and reports its client size (and its frame, where it has one) to `events`.
  virtual bool create(const WindowPlace& place, PlatformEvents& events, std::uint32_t& id, std::string& why) = 0;
  // Window's thread, once a pass of the driver: reports the platform events
  // waiting, first waiting for some up to `wait_ms` milliseconds (FOREVER:
  // until there are some or wake() is called; 0: not at all). Returns after a
  // batch, after wake() or when the time is up, whichever comes first.
  static constexpr std::int32_t FOREVER = -1;
  virtual void pump(PlatformEvents& events, std::int32_t wait_ms) = 0;
  // Window's thread, when a picture is presented: shows it in the client area;
  // where the window still shows the picture before it, only the rows that
  // differ need redrawing.
  virtual void show(const Picture& picture) = 0;
  // Window's thread, for SETTITLE.
  virtual void set_title(const std::string& utf8) = 0;
  // Window's thread, at closing: destroys the window (the platform stays up for a next one).
  virtual void destroy() = 0;
  // Any thread: makes a waiting pump() return soon.
  virtual void wake() = 0;
  // Any thread: whether show() puts pictures anywhere (an off-screen window needs no copies).
  virtual bool shows_pictures() const = 0;
  // Any thread, with or without a window: the screen size asked of the
  // platform now; 0 x 0 when there is none to ask.
  virtual void screen_size(std::int32_t& w, std::int32_t& h) const = 0;
};

Backend& headless_backend();
// The back end the next CREATEWIN opens its window with (the headless one
// until another is chosen); with `unless_chosen`, only when none was chosen
// before. Game thread, before CREATEWIN.
void use_backend(Backend& backend, bool unless_chosen = false);
// The back end the next or current window uses. Any thread.
Backend& chosen_backend();

}  // namespace display
