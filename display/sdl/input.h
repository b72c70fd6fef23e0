// Input through SDL: key codes and key-message parameters (no display needed: tests call them), and
// the back end's input events (keys, controllers, mouse, typed text, dropped files) as window messages.
#pragma once

#include <SDL.h>

#include <array>
#include <bitset>
#include <cstdint>
#include <optional>
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

// The keys and controller buttons use_bindings bound, by SDL's codes.
struct Bindings {
  std::array<std::int32_t, SDL_NUM_SCANCODES> keys{};             // each scancode's action, or 0
  std::array<std::int32_t, SDL_CONTROLLER_BUTTON_MAX> buttons{};  // each button's action, or 0
  std::bitset<256> taken;  // the actions' codes: a key of one not bound to it arrives as 0
};

class Presenter;

// The SDL back end's input: turns SDL's input events into window messages.
// Window thread.
class Input {
 public:
  // A new window: its id for the messages, whether A, D, W and Space arrive
  // as arrow keys (unless use_bindings chose bindings, which it takes now),
  // and what shows its pictures (mouse messages give the pointer in the
  // picture's pixels where they are scaled). Keys held in an earlier window
  // are gone with it.
  void open(std::uint32_t window_id, bool alias_keys, const Presenter* pictures);
  // Takes in the bindings chosen last (open does, and any event after
  // use_bindings changed them).
  void take_bindings();
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
  // controller's SDL instance number plus one) and a control on it (a
  // keyboard key's own virtual key). A key's
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
  // `source` lets go of `vk`: whether the key-up goes on (always for 0, which
  // each key stands for on its own).
  bool release(std::int32_t vk, Source source);
  // The key as pressed (base::keys::pressed_key) of `source`.
  static std::int32_t pressed(Source source);
  // The virtual key a keyboard key (`own`: its own virtual key) or a
  // controller button arrives as: itself, its alias or its action.
  std::int32_t key_code(SDL_Scancode scancode, std::int32_t own) const;
  std::int32_t button_code(SDL_GameControllerButton button) const;

  // Controllers: each open one by SDL's instance number.
  struct Pad {
    SDL_JoystickID id;
    SDL_GameController* controller;
    std::int32_t stick;  // the way its left stick is pushed (K_LEFT, K_RIGHT), or 0
  };
  // The stick's control numbers in the hold table, pushed left and right.
  static constexpr std::uint32_t STICK_LEFT = 0x100, STICK_RIGHT = 0x101;

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
  std::optional<Bindings> bindings_;  // in place of the alias keys
  unsigned taken_changes_ = 0;        // of the bindings chosen, when taken in
  const Presenter* pictures_ = nullptr;
  std::int32_t mouse_x_ = 0, mouse_y_ = 0;  // the pointer on the screen
  // The platform key event waiting for its SDL key event, and the key
  // (scancode, own virtual key) each platform key last came out as.
  struct {
    bool waiting = false, down = false;
    std::uint8_t keycode = 0;
  } raw_;
  struct Made {
    SDL_Scancode scancode = SDL_SCANCODE_UNKNOWN;  // none for a key the window took
    std::int32_t own = 0;
  };
  std::array<Made, 256> key_of_{};
  std::array<Hold, 64> holds_{};  // more at once than anyone can hold: the rest are not counted
  std::size_t count_ = 0;
  std::vector<Pad> pads_;
};

}  // namespace display
