// What enters the display library as input through SDL: key events and
// game-controller buttons and sticks to virtual-key codes, the alias keys,
// key-message parameters, the table of who holds which key, and the SDL back
// end's input events (keys, controllers, mouse, typed text, dropped files, a
// key SDL lost) turned into window messages. The translations need no
// display, so tests call them directly.
#pragma once

#include <SDL.h>

#include <array>
#include <cstdint>
#include <vector>

#include "display/backend.h"

namespace display {

// The virtual-key code of a key (0 when it has none). Any thread.
std::int32_t virtual_key(SDL_Keycode sym, SDL_Scancode scancode);
// The character message a key-down makes besides any typed text (Enter 13,
// Backspace 8, Tab 9, Escape 27), or 0. Any thread.
std::int32_t control_character(SDL_Scancode scancode);
// LPARAM of a key message: repeat count 1, bit 30 when the key was down
// before (repeats and key-ups), bit 31 on a key-up. Any thread.
std::int32_t key_lparam(bool down, bool repeat);

// The key an alias key stands for: A and D run (Left, Right), W and Space
// jump (Up); any other key is itself. Any thread.
std::int32_t alias_key(std::int32_t vk);
// The key a controller button stands for: the d-pad's left, right and up,
// the south and east face buttons Up, Back Escape, Start Enter; 0 for none.
// Any thread.
std::int32_t controller_key(SDL_GameControllerButton button);
// The key a stick position along its x axis stands for: Left or Right
// beyond the dead zone, 0 inside it. Any thread.
std::int32_t stick_key(std::int16_t x);

// Who holds which key. Every source (a keyboard key, a controller's button or
// stick) that holds a key counts, and a key's key-up goes on to the queue only
// when no other source still holds it: a keyboard and a controller, or two
// controllers, holding one direction do not let go of it for each other.
// Window thread.
class HeldKeys {
 public:
  // Sources are a device (0: the keyboard; a controller's own number) and a
  // control on it.
  struct Source {
    std::uint32_t device, control;
    bool operator==(const Source&) const = default;
  };
  // `source` holds `vk` (again, for a key repeat).
  void press(std::int32_t vk, Source source);
  // `source` lets go of `vk`: whether the key-up goes on.
  bool release(std::int32_t vk, Source source);
  // Everything `device` holds is let go; `key_up(vk)` for each key that
  // nobody holds any longer.
  template <typename KeyUp>
  void release_device(std::uint32_t device, KeyUp key_up) {
    for (std::size_t i = count_; i-- > 0;)
      if (holds_[i].source.device == device) {
        const Hold h = holds_[i];
        if (release(h.vk, h.source)) key_up(h.vk);
      }
  }

 private:
  struct Hold {
    std::int32_t vk;
    Source source;
  };
  std::array<Hold, 64> holds_{};  // more at once than anyone can hold: the rest are not counted
  std::size_t count_ = 0;
};

// The SDL back end's input: turns SDL's input events into window messages.
// Window thread.
class Input {
 public:
  // A new window: its id for the messages, and whether A, D, W and Space
  // arrive as arrow keys. Keys held in an earlier window are gone with it.
  void open(std::uint32_t window_id, bool alias_keys);
  // The screen position of the client area's top-left corner.
  void client_at(std::int32_t x, std::int32_t y);
  // A key event; `window_key` when the window took it for itself (F11, Alt+Enter).
  void key(const SDL_KeyboardEvent& k, bool window_key, PlatformEvents& events);
  // Any other event; false when it is not input.
  bool handle(const SDL_Event& e, PlatformEvents& events);
  // After a batch of events: the platform key event still waiting for its SDL
  // key event was dropped by SDL, and is sent now.
  void restore_dropped_key(PlatformEvents& events);
  // A message of this window with the pointer's last position.
  MSG make(std::uint32_t code, std::int32_t wp, std::int32_t lp, Uint32 time) const;
  // Whether a controller is open (SDL reads it only while events are looked for).
  bool has_pads() const { return !pads_.empty(); }

 private:
  // Controllers: each open one by SDL's instance number; the device number
  // in the hold table is that plus one (0 is the keyboard).
  struct Pad {
    SDL_JoystickID id;
    SDL_GameController* controller;
    std::int32_t stick;  // the key its left stick holds, or 0
  };
  static constexpr std::uint32_t STICK = 0x100;  // the stick's control number in the hold table

  void raw_key(const SDL_SysWMmsg& m, PlatformEvents& events);
  void send_key(bool down, std::int32_t vk, HeldKeys::Source source, bool repeat, Uint32 time,
                PlatformEvents& events);
  void client_mouse(std::int32_t x, std::int32_t y);
  Pad* pad(SDL_JoystickID id);
  void controller_added(int index);
  void controller_removed(SDL_JoystickID id, Uint32 time, PlatformEvents& events);
  void controller_button(const SDL_ControllerButtonEvent& b, PlatformEvents& events);
  void controller_stick(const SDL_ControllerAxisEvent& a, PlatformEvents& events);

  std::uint32_t id_ = 0;
  bool alias_keys_ = false;
  std::int32_t client_x_ = 0, client_y_ = 0;  // the client area's corner on the screen
  std::int32_t mouse_x_ = 0, mouse_y_ = 0;    // the pointer on the screen
  // The platform key event waiting for its SDL key event, and the key code
  // each platform key last came out as.
  struct {
    bool waiting = false, down = false;
    std::uint8_t keycode = 0;
  } raw_;
  std::int32_t key_of_[256] = {};
  HeldKeys held_;
  std::vector<Pad> pads_;
};

}  // namespace display
