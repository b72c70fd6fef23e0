// Input through SDL: key codes and key-message parameters (no display needed: tests call them), and
// the back end's input events (keys, controllers, mouse, typed text, dropped files) as window messages.
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
// LPARAM of a key message: repeat count 1, the key as pressed in bits
// 16..23 (pressed_key), bit 30 when the key was down before (repeats and
// key-ups), bit 31 on a key-up. Any thread.
std::int32_t key_lparam(bool down, bool repeat, std::int32_t pressed = 0);

class Presenter;

// The SDL back end's input: turns SDL's input events into window messages.
// Window thread.
class Input {
 public:
  // A new window: its id for the messages, whether A, D, W and Space arrive
  // as arrow keys, and what shows its pictures (mouse messages give the
  // pointer in the picture's pixels where they are scaled). Keys held in an
  // earlier window are gone with it.
  void open(std::uint32_t window_id, bool alias_keys, const Presenter* pictures);
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
  // Who holds which key: a source is a device (0: the keyboard; a
  // controller's SDL instance number plus one) and a control on it. A key's
  // key-up goes on only when no other source still holds it: a keyboard and a
  // controller, or two controllers, holding one direction do not let go of it
  // for each other.
  struct Source {
    std::uint32_t device, control;
    bool operator==(const Source&) const = default;
  };
  struct Hold {
    std::int32_t vk;
    Source source;
  };
  // `source` holds `vk` (again, for a key repeat).
  void press(std::int32_t vk, Source source);
  // `source` lets go of `vk`: whether the key-up goes on.
  bool release(std::int32_t vk, Source source);
  // The key as pressed (base::keys::pressed_key) of `source` holding `vk`.
  static std::int32_t pressed(std::int32_t vk, Source source);

  // Controllers: each open one by SDL's instance number.
  struct Pad {
    SDL_JoystickID id;
    SDL_GameController* controller;
    std::int32_t stick;  // the key its left stick holds, or 0
  };
  static constexpr std::uint32_t STICK = 0x100;  // the stick's control number in the hold table

  void raw_key(const SDL_SysWMmsg& m, PlatformEvents& events);
  void send_key(bool down, std::int32_t vk, Source source, bool repeat, Uint32 time, PlatformEvents& events);
  void key_message(bool down, std::int32_t vk, std::int32_t as_pressed, bool repeat, Uint32 time,
                   PlatformEvents& events);
  // The pointer at (x, y) in the client area: remembered on the screen, and
  // as the LPARAM of a mouse message.
  std::int32_t mouse(std::int32_t x, std::int32_t y);
  Pad* pad(SDL_JoystickID id);
  void controller_added(int index);
  void controller_removed(SDL_JoystickID id, Uint32 time, PlatformEvents& events);
  void controller_button(const SDL_ControllerButtonEvent& b, PlatformEvents& events);
  void controller_stick(const SDL_ControllerAxisEvent& a, PlatformEvents& events);

  std::uint32_t id_ = 0;
  bool alias_keys_ = false;
  const Presenter* pictures_ = nullptr;
  std::int32_t mouse_x_ = 0, mouse_y_ = 0;  // the pointer on the screen
  // The platform key event waiting for its SDL key event, and the key code
  // each platform key last came out as.
  struct {
    bool waiting = false, down = false;
    std::uint8_t keycode = 0;
  } raw_;
  std::int32_t key_of_[256] = {};
  std::array<Hold, 64> holds_{};  // more at once than anyone can hold: the rest are not counted
  std::size_t count_ = 0;
  std::vector<Pad> pads_;
};

}  // namespace display
