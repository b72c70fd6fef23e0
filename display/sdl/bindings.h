// Keys and controller buttons bound to actions, and their names as SDL spells them: what a program
// tells the SDL back end's input (display/sdl/input.cpp), without including SDL.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace display {

// An action's virtual key and what stands for it: SDL scancode names (as
// SDL_GetScancodeName spells them) and controller button names (as
// SDL_GameControllerGetStringForButton does).
struct Binding {
  std::int32_t vk;
  std::vector<std::string> keys, buttons;
};
// Makes the next SDL window deliver the keys and buttons named in `bindings`
// as their action's virtual key (WPARAM), in place of the alias keys. A key or
// button whose own code is an action's but that is not bound to it arrives
// with WPARAM 0 (P's twin Pause with P's); the key as pressed (LPARAM) always
// names the key itself. Escape and the controller's Back always arrive as
// Escape; Start bound to nothing as Enter. Unknown names are passed over;
// F11 and Alt+Enter stay the window's. Game thread; an open window takes
// them in from its next input event.
void use_bindings(const std::vector<Binding>& bindings);
// Whether SDL knows this scancode name / controller button name (letter case
// aside, as SDL compares them). Any thread, with or without SDL started.
bool key_name_known(std::string_view name);
bool button_name_known(std::string_view name);
// The scancode name of the key behind a key-as-pressed code (the key of that
// code last pressed in a window, or else the first key that has it), the
// button name for a K_PAD_ code; empty for none. Any thread.
std::string pressed_key_name(std::int32_t pressed);
}  // namespace display
