// SDL key events to virtual-key codes and key-message parameters. Used by the
// SDL back end on the window thread; pure functions, so tests need no display.
#pragma once

#include <SDL_keycode.h>

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

}  // namespace display
