// Key translation: SDL scancodes (the physical key) to virtual-key codes, with
// letter keys taken from the layout's key symbol; alias keys and controllers
// to the keys they stand for; who holds which key.
#include "sdl_keys.h"

#include <algorithm>

#include "queue.h"

namespace display {

std::int32_t virtual_key(SDL_Keycode sym, SDL_Scancode sc) {
  if (sym >= SDLK_a && sym <= SDLK_z) return K_A + (sym - SDLK_a);
  if (sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z) return K_A + (sc - SDL_SCANCODE_A);
  if (sc >= SDL_SCANCODE_1 && sc <= SDL_SCANCODE_9) return K_1 + (sc - SDL_SCANCODE_1);
  if (sc >= SDL_SCANCODE_F1 && sc <= SDL_SCANCODE_F12) return K_F1 + (sc - SDL_SCANCODE_F1);
  if (sc >= SDL_SCANCODE_F13 && sc <= SDL_SCANCODE_F24) return K_F13 + (sc - SDL_SCANCODE_F13);
  if (sc >= SDL_SCANCODE_KP_1 && sc <= SDL_SCANCODE_KP_9) return K_N1 + (sc - SDL_SCANCODE_KP_1);
  switch (sc) {
    case SDL_SCANCODE_0: return K_0;
    case SDL_SCANCODE_RETURN: case SDL_SCANCODE_KP_ENTER: case SDL_SCANCODE_RETURN2: return K_ENTER;
    case SDL_SCANCODE_ESCAPE: return K_ESC;
    case SDL_SCANCODE_BACKSPACE: return K_BACK;
    case SDL_SCANCODE_TAB: return K_TAB;
    case SDL_SCANCODE_SPACE: return K_SPACE;
    case SDL_SCANCODE_CAPSLOCK: return K_CAPS;
    case SDL_SCANCODE_PRINTSCREEN: return K_PRTSC;
    case SDL_SCANCODE_SCROLLLOCK: return K_SCR;
    case SDL_SCANCODE_PAUSE: return K_PAUSE;
    case SDL_SCANCODE_INSERT: return K_INS;
    case SDL_SCANCODE_HOME: return K_HOME;
    case SDL_SCANCODE_PAGEUP: return K_PGUP;
    case SDL_SCANCODE_DELETE: return K_DEL;
    case SDL_SCANCODE_END: return K_END;
    case SDL_SCANCODE_PAGEDOWN: return K_PGDN;
    case SDL_SCANCODE_RIGHT: return K_RIGHT;
    case SDL_SCANCODE_LEFT: return K_LEFT;
    case SDL_SCANCODE_DOWN: return K_DOWN;
    case SDL_SCANCODE_UP: return K_UP;
    case SDL_SCANCODE_NUMLOCKCLEAR: return K_NUM;
    case SDL_SCANCODE_KP_DIVIDE: return K_DIV;
    case SDL_SCANCODE_KP_MULTIPLY: return K_MUL;
    case SDL_SCANCODE_KP_MINUS: return K_SUB;
    case SDL_SCANCODE_KP_PLUS: return K_ADD;
    case SDL_SCANCODE_KP_0: return K_N0;
    case SDL_SCANCODE_KP_PERIOD: return K_DEC;
    case SDL_SCANCODE_KP_COMMA: return K_SEP;
    case SDL_SCANCODE_APPLICATION: return K_APPS;
    case SDL_SCANCODE_EXECUTE: return K_EXECUTE;
    case SDL_SCANCODE_HELP: return K_HELP;
    case SDL_SCANCODE_SELECT: return K_SELECT;
    case SDL_SCANCODE_CANCEL: return K_CANCEL;
    case SDL_SCANCODE_CLEAR: return K_CLEAR;
    case SDL_SCANCODE_SLEEP: return K_SLEEP;
    // Key messages name the modifier, not its side.
    case SDL_SCANCODE_LSHIFT: case SDL_SCANCODE_RSHIFT: return K_SHIFT;
    case SDL_SCANCODE_LCTRL: case SDL_SCANCODE_RCTRL: return K_CTRL;
    case SDL_SCANCODE_LALT: case SDL_SCANCODE_RALT: return K_ALT;
    case SDL_SCANCODE_LGUI: return K_LWIN;
    case SDL_SCANCODE_RGUI: return K_RWIN;
    // Punctuation keys of a US layout.
    case SDL_SCANCODE_SEMICOLON: return 186;
    case SDL_SCANCODE_EQUALS: return 187;
    case SDL_SCANCODE_COMMA: return 188;
    case SDL_SCANCODE_MINUS: return 189;
    case SDL_SCANCODE_PERIOD: return 190;
    case SDL_SCANCODE_SLASH: return 191;
    case SDL_SCANCODE_GRAVE: return 192;
    case SDL_SCANCODE_LEFTBRACKET: return 219;
    case SDL_SCANCODE_BACKSLASH: return 220;
    case SDL_SCANCODE_RIGHTBRACKET: return 221;
    case SDL_SCANCODE_APOSTROPHE: return 222;
    case SDL_SCANCODE_NONUSBACKSLASH: return 226;
    default: return K_UK;
  }
}

std::int32_t control_character(SDL_Scancode sc) {
  switch (sc) {
    case SDL_SCANCODE_RETURN: case SDL_SCANCODE_KP_ENTER: return 13;
    case SDL_SCANCODE_BACKSPACE: return 8;
    case SDL_SCANCODE_TAB: return 9;
    case SDL_SCANCODE_ESCAPE: return 27;
    default: return 0;
  }
}

std::int32_t key_lparam(bool down, bool repeat) {
  std::uint32_t lp = 1;
  if (!down || repeat) lp |= 1u << 30;
  if (!down) lp |= 1u << 31;
  return static_cast<std::int32_t>(lp);
}

std::int32_t alias_key(std::int32_t vk) {
  switch (vk) {
    case K_A: return K_LEFT;
    case K_D: return K_RIGHT;
    case K_W: case K_SPACE: return K_UP;
    default: return vk;
  }
}

std::int32_t controller_key(SDL_GameControllerButton button) {
  switch (button) {
    case SDL_CONTROLLER_BUTTON_DPAD_LEFT: return K_LEFT;
    case SDL_CONTROLLER_BUTTON_DPAD_RIGHT: return K_RIGHT;
    case SDL_CONTROLLER_BUTTON_DPAD_UP: case SDL_CONTROLLER_BUTTON_A: case SDL_CONTROLLER_BUTTON_B: return K_UP;
    case SDL_CONTROLLER_BUTTON_BACK: return K_ESC;
    case SDL_CONTROLLER_BUTTON_START: return K_ENTER;  // a plain key: it moves a story text on
    default: return 0;
  }
}

std::int32_t stick_key(std::int16_t x) {
  // About a third of the way out: a worn stick at rest stays well inside.
  constexpr std::int16_t DEAD_ZONE = 10000;
  return x < -DEAD_ZONE ? K_LEFT : x > DEAD_ZONE ? K_RIGHT : 0;
}

void HeldKeys::press(std::int32_t vk, Source source) {
  const auto end = holds_.begin() + count_;
  if (count_ < holds_.size() &&
      std::none_of(holds_.begin(), end, [&](const Hold& o) { return o.vk == vk && o.source == source; }))
    holds_[count_++] = {vk, source};
}

bool HeldKeys::release(std::int32_t vk, Source source) {
  const auto end = holds_.begin() + count_;
  const auto it = std::find_if(holds_.begin(), end, [&](const Hold& o) { return o.vk == vk && o.source == source; });
  if (it != end) {
    std::copy(it + 1, end, it);
    --count_;
  }
  return std::none_of(holds_.begin(), holds_.begin() + count_, [&](const Hold& o) { return o.vk == vk; });
}

}  // namespace display
