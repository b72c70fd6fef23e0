// What enters the display library as keys: SDL key events and game-controller
// buttons and sticks to virtual-key codes, the alias keys, key-message
// parameters, and the table of who holds which key. Used by the SDL back end
// on the window thread; no display needed, so tests call them directly.
#pragma once

#include <SDL_gamecontroller.h>
#include <SDL_keycode.h>

#include <array>
#include <cstdint>

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

}  // namespace display
