// SDL's input events as window messages: keys to virtual-key codes (letters by the layout's symbol),
// alias keys, bound keys and controllers to the keys they stand for, and who holds which key.
#include "display/sdl/input.h"

#include <SDL_syswm.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <atomic>
#include <mutex>

#include "base/utf8.h"
#include "display/input.h"
#include "display/sdl/bindings.h"
#include "display/sdl/present.h"
#include "display/window.h"

namespace display {

namespace {

// The key an alias key stands for: A and D run (Left, Right), W and Space
// jump (Up); any other key is itself.
std::int32_t alias_key(std::int32_t vk) {
  switch (vk) {
    case K_A: return K_LEFT;
    case K_D: return K_RIGHT;
    case K_W:
    case K_SPACE: return K_UP;
    default: return vk;
  }
}

// The key a controller button stands for: the d-pad's directions, the
// south and east face buttons Up (jump), the north one R (restart), Back
// Escape, Start Enter; 0 for none.
std::int32_t controller_key(SDL_GameControllerButton button) {
  switch (button) {
    case SDL_CONTROLLER_BUTTON_DPAD_LEFT: return K_LEFT;
    case SDL_CONTROLLER_BUTTON_DPAD_RIGHT: return K_RIGHT;
    case SDL_CONTROLLER_BUTTON_DPAD_DOWN: return K_DOWN;
    case SDL_CONTROLLER_BUTTON_DPAD_UP:
    case SDL_CONTROLLER_BUTTON_A:
    case SDL_CONTROLLER_BUTTON_B: return K_UP;
    case SDL_CONTROLLER_BUTTON_Y: return K_R;
    case SDL_CONTROLLER_BUTTON_BACK: return K_ESC;
    case SDL_CONTROLLER_BUTTON_START: return K_ENTER;  // a plain key: it moves a story text on
    default: return 0;
  }
}

// The button itself, for the key as pressed: a menu tells A (choose) from
// d-pad up (move) though both arrive as Up. 0 for none.
std::int32_t pad_key(SDL_GameControllerButton button) {
  switch (button) {
    case SDL_CONTROLLER_BUTTON_A: return K_PAD_A;
    case SDL_CONTROLLER_BUTTON_B: return K_PAD_B;
    case SDL_CONTROLLER_BUTTON_X: return K_PAD_X;
    case SDL_CONTROLLER_BUTTON_Y: return K_PAD_Y;
    case SDL_CONTROLLER_BUTTON_DPAD_UP: return K_PAD_UP;
    case SDL_CONTROLLER_BUTTON_DPAD_DOWN: return K_PAD_DOWN;
    case SDL_CONTROLLER_BUTTON_DPAD_LEFT: return K_PAD_LEFT;
    case SDL_CONTROLLER_BUTTON_DPAD_RIGHT: return K_PAD_RIGHT;
    case SDL_CONTROLLER_BUTTON_START: return K_PAD_START;
    case SDL_CONTROLLER_BUTTON_BACK: return K_PAD_BACK;
    case SDL_CONTROLLER_BUTTON_GUIDE: return K_PAD_GUIDE;
    case SDL_CONTROLLER_BUTTON_LEFTSHOULDER: return K_PAD_LSHOULDER;
    case SDL_CONTROLLER_BUTTON_RIGHTSHOULDER: return K_PAD_RSHOULDER;
    case SDL_CONTROLLER_BUTTON_LEFTSTICK: return K_PAD_LSTICK;
    case SDL_CONTROLLER_BUTTON_RIGHTSTICK: return K_PAD_RSTICK;
    default: return 0;
  }
}

// The key a stick position along its x axis stands for: Left or Right
// beyond the dead zone, 0 inside it.
std::int32_t stick_key(std::int16_t x) {
  // About a third of the way out: a worn stick at rest stays well inside.
  constexpr std::int16_t DEAD_ZONE = 10000;
  return x < -DEAD_ZONE ? K_LEFT : x > DEAD_ZONE ? K_RIGHT : 0;
}

// The bindings the next window takes (none: the alias keys or none), kept
// for the process's whole life: a window may open while it ends.
struct Chosen {
  std::mutex lock;
  std::optional<Bindings> bindings;
  std::atomic<unsigned> changes{0};  // a window's input takes new bindings in when this moves
};
Chosen& chosen() {
  static Chosen& c = *new Chosen;
  return c;
}

// The scancode each own virtual key last came from, so that a key pressed to
// be bound is named by its place, whatever the layout's letter on it (0: none yet).
std::array<std::atomic<std::uint16_t>, 256> last_scancode{};

// A name as SDL's C functions take it; empty when it holds a NUL, which
// would cut it short into another name.
std::string c_name(std::string_view name) {
  return name.find('\0') == std::string_view::npos ? std::string(name) : std::string();
}

SDL_Scancode scancode_named(std::string_view name) {
  const std::string n = c_name(name);
  return n.empty() ? SDL_SCANCODE_UNKNOWN : SDL_GetScancodeFromName(n.c_str());
}

SDL_GameControllerButton button_named(std::string_view name) {
  const std::string n = c_name(name);
  return n.empty() ? SDL_CONTROLLER_BUTTON_INVALID : SDL_GameControllerGetButtonFromString(n.c_str());
}

}  // namespace

void use_bindings(const std::vector<Binding>& bindings) {
  Bindings t;
  for (const Binding& b : bindings) {
    if (b.vk <= 0 || b.vk >= static_cast<std::int32_t>(t.taken.size())) continue;
    t.taken[static_cast<std::size_t>(b.vk)] = true;
    if (b.vk == K_P) t.taken[K_PAUSE] = true;  // the key named Pause pauses as P does
    // Escape and Back stay the way out, whatever they are bound to; a key
    // bound twice keeps its first action.
    for (const std::string& name : b.keys)
      if (const SDL_Scancode sc = scancode_named(name); sc != SDL_SCANCODE_UNKNOWN && sc != SDL_SCANCODE_ESCAPE)
        if (std::int32_t& action = t.keys[static_cast<std::size_t>(sc)]; !action) action = b.vk;
    for (const std::string& name : b.buttons)
      if (const SDL_GameControllerButton button = button_named(name);
          button != SDL_CONTROLLER_BUTTON_INVALID && button != SDL_CONTROLLER_BUTTON_BACK)
        if (std::int32_t& action = t.buttons[static_cast<std::size_t>(button)]; !action) action = b.vk;
  }
  const std::lock_guard hold(chosen().lock);
  chosen().bindings = t;
  chosen().changes.fetch_add(1, std::memory_order_release);
}

bool key_name_known(std::string_view name) { return scancode_named(name) != SDL_SCANCODE_UNKNOWN; }

bool button_name_known(std::string_view name) { return button_named(name) != SDL_CONTROLLER_BUTTON_INVALID; }

std::string pressed_key_name(std::int32_t pressed) {
  if (pressed <= 0 || pressed > 255) return {};
  for (int b = 0; b < SDL_CONTROLLER_BUTTON_MAX; ++b)
    if (pad_key(static_cast<SDL_GameControllerButton>(b)) == pressed)
      return SDL_GameControllerGetStringForButton(static_cast<SDL_GameControllerButton>(b));
  // The first scancode that makes each code, for a key no window has seen.
  static const std::array<std::uint16_t, 256> first = [] {
    std::array<std::uint16_t, 256> f{};
    for (int sc = SDL_NUM_SCANCODES; --sc > 0;)
      if (const std::int32_t vk = virtual_key(SDLK_UNKNOWN, static_cast<SDL_Scancode>(sc)); vk > 0 && vk < 256)
        f[static_cast<std::size_t>(vk)] = static_cast<std::uint16_t>(sc);
    return f;
  }();
  const auto at = static_cast<std::size_t>(pressed);
  std::uint16_t sc = last_scancode[at].load(std::memory_order_relaxed);
  if (!sc) sc = first[at];
  return sc ? SDL_GetScancodeName(static_cast<SDL_Scancode>(sc)) : "";
}

std::int32_t virtual_key(SDL_Keycode sym, SDL_Scancode sc) {
  if (sym >= SDLK_a && sym <= SDLK_z) return K_A + (sym - SDLK_a);
  if (sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z) return K_A + (sc - SDL_SCANCODE_A);
  if (sc >= SDL_SCANCODE_1 && sc <= SDL_SCANCODE_9) return K_1 + (sc - SDL_SCANCODE_1);
  if (sc >= SDL_SCANCODE_F1 && sc <= SDL_SCANCODE_F12) return K_F1 + (sc - SDL_SCANCODE_F1);
  if (sc >= SDL_SCANCODE_F13 && sc <= SDL_SCANCODE_F24) return K_F13 + (sc - SDL_SCANCODE_F13);
  if (sc >= SDL_SCANCODE_KP_1 && sc <= SDL_SCANCODE_KP_9) return K_N1 + (sc - SDL_SCANCODE_KP_1);
  switch (sc) {
    case SDL_SCANCODE_0: return K_0;
    case SDL_SCANCODE_RETURN:
    case SDL_SCANCODE_KP_ENTER:
    case SDL_SCANCODE_RETURN2: return K_ENTER;
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
    case SDL_SCANCODE_LSHIFT:
    case SDL_SCANCODE_RSHIFT: return K_SHIFT;
    case SDL_SCANCODE_LCTRL:
    case SDL_SCANCODE_RCTRL: return K_CTRL;
    case SDL_SCANCODE_LALT:
    case SDL_SCANCODE_RALT: return K_ALT;
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
    case SDL_SCANCODE_RETURN:
    case SDL_SCANCODE_KP_ENTER: return 13;
    case SDL_SCANCODE_BACKSPACE: return 8;
    case SDL_SCANCODE_TAB: return 9;
    case SDL_SCANCODE_ESCAPE: return 27;
    default: return 0;
  }
}

std::int32_t key_lparam(bool down, bool repeat, std::int32_t pressed) {
  std::uint32_t lp = 1 | (static_cast<std::uint32_t>(pressed) & 0xFFu) << 16;
  if (!down || repeat) lp |= 1u << 30;
  if (!down) lp |= 1u << 31;
  return static_cast<std::int32_t>(lp);
}

void Input::press(std::int32_t vk, Source source) {
  const auto end = holds_.begin() + count_;
  if (count_ < holds_.size() &&
      std::none_of(holds_.begin(), end, [&](const Hold& o) { return o.vk == vk && o.source == source; }))
    holds_[count_++] = {vk, source};
}

bool Input::release(std::int32_t vk, Source source) {
  const auto end = holds_.begin() + count_;
  const auto it = std::find_if(holds_.begin(), end, [&](const Hold& o) { return o.vk == vk && o.source == source; });
  if (it != end) {
    std::copy(it + 1, end, it);
    --count_;
  }
  return vk == 0 || std::none_of(holds_.begin(), holds_.begin() + count_, [&](const Hold& o) { return o.vk == vk; });
}

void Input::open(std::uint32_t window_id, bool alias_keys, const Presenter* pictures) {
  id_ = window_id;
  alias_keys_ = alias_keys;
  take_bindings();
  pictures_ = pictures;
  count_ = 0;
  for (Pad& p : pads_) p.stick = 0;
}

MSG Input::make(std::uint32_t code, std::int32_t wp, std::int32_t lp, Uint32 time) const {
  return {id_, code, wp, lp, time, {mouse_x_, mouse_y_}};
}

// (x, y) in the client area, which lies inside the window's frame. A client
// that draws scaled pictures hears of the picture's pixel under the pointer,
// by the placement the presenter last showed a picture with.
std::int32_t Input::mouse(std::int32_t x, std::int32_t y) {
  mouse_x_ = GETPOSX() + GETBORDERWIDTH() + x;
  mouse_y_ = GETPOSY() + GETBORDERHEIGHT() + GETBORDERTITLE() + y;
  report_pointer(mouse_x_, mouse_y_);
  if (pictures_) pictures_->to_picture(x, y);
  return mouse_lparam(x, y);
}

// An X11 key event: SDL queues it before the key event it makes of it, if
// it makes one. One still waiting when the next arrives (or when the queue
// runs dry) was dropped, and is sent here under the key code its key had.
void Input::raw_key(const SDL_SysWMmsg& m, PlatformEvents& events) {
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

// Sent as its key was when it last came through (an unknown key that stands
// for nothing is not).
void Input::restore_dropped_key(PlatformEvents& events) {
  if (!raw_.waiting) return;
  raw_.waiting = false;
  const Made k = key_of_[raw_.keycode];
  if (k.scancode == SDL_SCANCODE_UNKNOWN) return;
  if (const std::int32_t vk = key_code(k.scancode, k.own); vk || k.own)
    send_key(raw_.down, vk, {0, static_cast<std::uint32_t>(k.own)}, raw_.down, SDL_GetTicks(), events);
}

std::int32_t Input::pressed(Source source) {
  if (source.device == 0) return static_cast<std::int32_t>(source.control);  // the key's own
  if (source.control == STICK_LEFT) return K_PAD_LEFT;
  if (source.control == STICK_RIGHT) return K_PAD_RIGHT;
  return pad_key(static_cast<SDL_GameControllerButton>(source.control));
}

// With bindings an action's code comes only from what is bound to it: an
// arrow key that no longer runs arrives as 0 (its key as pressed still says
// which it is). Escape and Back always quit.
std::int32_t Input::key_code(SDL_Scancode scancode, std::int32_t own) const {
  if (!bindings_) return alias_keys_ ? alias_key(own) : own;
  if (own == K_ESC) return K_ESC;
  const auto sc = static_cast<std::size_t>(scancode);
  if (const std::int32_t action = sc < bindings_->keys.size() ? bindings_->keys[sc] : 0) return action;
  return bindings_->taken[static_cast<std::size_t>(own & 0xFF)] ? 0 : own;
}

std::int32_t Input::button_code(SDL_GameControllerButton button) const {
  const std::int32_t own = controller_key(button);
  if (!bindings_ || button == SDL_CONTROLLER_BUTTON_BACK) return own;
  const auto b = static_cast<std::size_t>(button);
  if (const std::int32_t action = b < bindings_->buttons.size() ? bindings_->buttons[b] : 0) return action;
  return bindings_->taken[static_cast<std::size_t>(own)] ? 0 : own;
}

// A key of the keyboard or a controller on its way to the queue as `vk`: a
// key-up goes on only when no other source holds the key. Alt is a system
// key, as on the platform whose messages these are: the first half of
// Alt+Enter moves nothing on.
void Input::send_key(bool down, std::int32_t vk, Source source, bool repeat, Uint32 time, PlatformEvents& events) {
  if (down)
    press(vk, source);
  else if (!release(vk, source))
    return;
  key_message(down, vk, pressed(source), repeat, time, events);
}

void Input::key_message(bool down, std::int32_t vk, std::int32_t as_pressed, bool repeat, Uint32 time,
                        PlatformEvents& events) {
  const std::uint32_t code = vk == K_ALT ? (down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (down ? WM_KEYDOWN : WM_KEYUP);
  events.message(make(code, vk, key_lparam(down, repeat, as_pressed), time));
}

// The bindings chosen last; on the window thread, between events.
void Input::take_bindings() {
  const std::lock_guard hold(chosen().lock);
  bindings_ = chosen().bindings;
  taken_changes_ = chosen().changes.load(std::memory_order_relaxed);
}

void Input::key(const SDL_KeyboardEvent& k, bool window_key, PlatformEvents& events) {
  if (chosen().changes.load(std::memory_order_acquire) != taken_changes_) take_bindings();
  const bool down = k.type == SDL_KEYDOWN;
  const SDL_Scancode sc = k.keysym.scancode;
  const std::int32_t own = window_key ? 0 : virtual_key(k.keysym.sym, sc);
  if (raw_.waiting) {  // this is the waiting one, as SDL saw it
    key_of_[raw_.keycode] = window_key ? Made{} : Made{sc, own};
    raw_.waiting = false;
  }
  if (window_key) return;
  if (down && own)
    last_scancode[static_cast<std::size_t>(own)].store(static_cast<std::uint16_t>(sc), std::memory_order_relaxed);
  send_key(down, key_code(sc, own), {0, static_cast<std::uint32_t>(own)}, k.repeat != 0, k.timestamp, events);
  if (std::int32_t c = down ? control_character(k.keysym.scancode) : 0)
    events.message(make(WM_CHAR, c, key_lparam(true, k.repeat != 0), k.timestamp));
}

Input::Pad* Input::pad(SDL_JoystickID id) {
  const auto p = std::find_if(pads_.begin(), pads_.end(), [&](const Pad& pad) { return pad.id == id; });
  return p == pads_.end() ? nullptr : &*p;
}

void Input::controller_added(int index) {
  SDL_GameController* c = SDL_GameControllerOpen(index);
  if (!c) return;
  const SDL_JoystickID id = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(c));
  if (pad(id))
    SDL_GameControllerClose(c);  // already open: SDL counted a second opening
  else
    pads_.push_back({id, c, 0});
}

// Unplugged: whatever it held is let go.
void Input::controller_removed(SDL_JoystickID id, Uint32 time, PlatformEvents& events) {
  for (std::size_t i = count_; i-- > 0;)
    if (const Hold h = holds_[i]; h.source.device == static_cast<std::uint32_t>(id) + 1 && release(h.vk, h.source))
      key_message(false, h.vk, pressed(h.source), false, time, events);
  if (Pad* p = pad(id)) {
    SDL_GameControllerClose(p->controller);
    pads_.erase(pads_.begin() + (p - pads_.data()));
  }
}

// With bindings a button that stands for nothing still arrives (as 0) if it
// has a key as pressed: a settings screen binds it by its press.
void Input::controller_button(const SDL_ControllerButtonEvent& b, PlatformEvents& events) {
  const auto button = static_cast<SDL_GameControllerButton>(b.button);
  const std::int32_t vk = button_code(button);
  if ((vk || (bindings_ && pad_key(button))) && pad(b.which))
    send_key(b.state == SDL_PRESSED, vk, {static_cast<std::uint32_t>(b.which) + 1, b.button}, false, b.timestamp,
             events);
}

// The stick pushed left or right stands for what the d-pad's left or right does.
void Input::controller_stick(const SDL_ControllerAxisEvent& a, PlatformEvents& events) {
  Pad* p = pad(a.which);
  if (!p || a.axis != SDL_CONTROLLER_AXIS_LEFTX) return;
  const std::int32_t now = stick_key(a.value);
  if (now == p->stick) return;
  const std::uint32_t device = static_cast<std::uint32_t>(a.which) + 1;
  auto send = [&](bool down, std::int32_t way) {
    const bool left = way == K_LEFT;
    send_key(down, button_code(left ? SDL_CONTROLLER_BUTTON_DPAD_LEFT : SDL_CONTROLLER_BUTTON_DPAD_RIGHT),
             {device, left ? STICK_LEFT : STICK_RIGHT}, false, a.timestamp, events);
  };
  if (p->stick) send(false, p->stick);
  if (now) send(true, now);
  p->stick = now;
}

bool Input::handle(const SDL_Event& e, PlatformEvents& events) {
  if (chosen().changes.load(std::memory_order_acquire) != taken_changes_) take_bindings();
  switch (e.type) {
    case SDL_SYSWMEVENT: raw_key(*e.syswm.msg, events); return true;
    case SDL_CONTROLLERDEVICEADDED: controller_added(e.cdevice.which); return true;
    case SDL_CONTROLLERDEVICEREMOVED: controller_removed(e.cdevice.which, e.cdevice.timestamp, events); return true;
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP: controller_button(e.cbutton, events); return true;
    case SDL_CONTROLLERAXISMOTION: controller_stick(e.caxis, events); return true;
    case SDL_TEXTINPUT: {
      // One character message per code point typed.
      const std::string_view text = e.text.text;
      char32_t c;
      for (std::size_t at = 0; at < text.size();)
        if (base::next_utf8(text, at, c))
          events.message(make(WM_CHAR, static_cast<std::int32_t>(c), 1, e.text.timestamp));
        else
          ++at;  // a byte that is not UTF-8 is passed over
      return true;
    }
    case SDL_MOUSEMOTION: {
      const std::int32_t lp = mouse(e.motion.x, e.motion.y);  // before make(): the message's PT
      events.message(make(WM_MOUSEMOVE, 0, lp, e.motion.timestamp));
      return true;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      const bool down = e.type == SDL_MOUSEBUTTONDOWN;
      std::uint32_t code = e.button.button == SDL_BUTTON_RIGHT    ? WM_RBUTTONDOWN
                           : e.button.button == SDL_BUTTON_MIDDLE ? WM_MBUTTONDOWN
                                                                  : WM_LBUTTONDOWN;
      const std::int32_t lp = mouse(e.button.x, e.button.y);  // before make(): the message's PT
      events.message(make(down ? code : code + 1, 0, lp, e.button.timestamp));
      return true;
    }
    case SDL_MOUSEWHEEL:
      events.message(make(WM_MOUSEWHEEL, static_cast<std::int32_t>(static_cast<std::uint32_t>(e.wheel.y * 120) << 16),
                          0, e.wheel.timestamp));
      return true;
    case SDL_DROPFILE:
      SDL_free(e.drop.file);
      events.message(make(WM_DROPFILES, 0, 0, e.drop.timestamp));
      return true;
    default: return false;
  }
}

}  // namespace display
