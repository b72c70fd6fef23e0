// A menu as a screen.
#include "game/app/menu_screen.h"

#include <algorithm>
#include <utility>

#include "base/keys.h"
#include "display/window.h"
#include "game/view/menu.h"

namespace tervalon {

using namespace base::keys;

namespace {

// How far Page Up and Page Down move, in rows: about what a long list shows
// at once at the shipped board's size.
constexpr std::size_t PAGE = 5;

}  // namespace

MenuScreen::MenuScreen(Menu m, std::vector<Choice> choices, Answer back, bool pause_closes)
    : menu_(std::move(m)), back_(back), pause_closes_(pause_closes) {
  for (Choice& c : choices) {
    menu_.items.push_back(std::move(c.item));
    answers_.push_back(c.answer);
  }
}

Answer MenuScreen::message(const display::MSG& m, const Game& g) {
  const std::optional<std::size_t> i = chosen(m, g);
  if (!i) return {};
  return *i < answers_.size() ? answers_[*i] : back_;
}

std::optional<std::size_t> MenuScreen::chosen(const display::MSG& m, const Game& g) {
  const std::size_t n = menu_.items.size();
  if (n == 0 && m.MESSAGE == WM_LBUTTONUP) return n;
  if (m.MESSAGE == WM_MOUSEMOVE || m.MESSAGE == WM_LBUTTONUP) {
    const int at = menu_item_at(g, menu_, mouse_x(m.LPARAM), mouse_y(m.LPARAM), text_);
    if (at < 0) return std::nullopt;
    if (m.MESSAGE == WM_LBUTTONUP) return static_cast<std::size_t>(at);
    if (static_cast<std::size_t>(at) != menu_.selected) menu_.selected = static_cast<std::size_t>(at), drawn_ = false;
    return std::nullopt;
  }
  if (m.MESSAGE != WM_KEYDOWN) return std::nullopt;
  // Menus go by the key as pressed: the arrows move whatever the game's keys
  // are bound to (a message made without one goes by its code).
  const std::int32_t pressed = pressed_key(m.LPARAM) ? pressed_key(m.LPARAM) : m.WPARAM;
  // A key held since before the menu opened repeats: it chooses nothing.
  const bool repeat = (static_cast<std::uint32_t>(m.LPARAM) >> 30 & 1) != 0;
  const bool up = pressed == K_UP || pressed == K_PAD_UP, down = pressed == K_DOWN || pressed == K_PAD_DOWN;
  const bool page_up = pressed == K_PGUP, page_down = pressed == K_PGDN;
  if (repeat && !up && !down && !page_up && !page_down) return std::nullopt;
  if (n > 0 && (pressed == K_ENTER || pressed == K_SPACE || pressed == K_PAD_A || pressed == K_PAD_START))
    return menu_.selected;
  if (n == 0 || m.WPARAM == K_ESC || pressed == K_PAD_B || (pause_closes_ && (m.WPARAM == K_P || m.WPARAM == K_PAUSE)))
    return n;
  if (up) menu_.selected = (menu_.selected + n - 1) % n;
  if (down) menu_.selected = (menu_.selected + 1) % n;
  // A page stops at either end rather than going round.
  if (page_up) menu_.selected = menu_.selected > PAGE ? menu_.selected - PAGE : 0;
  if (page_down) menu_.selected = std::min(menu_.selected + PAGE, n - 1);
  drawn_ = false;
  return std::nullopt;
}

void MenuScreen::draw(const Game& g, View& v) {
  if (drawn_) return;
  drawn_ = true;
  text_ = v.text;
  compose_frame(g, v);
  draw_menu(g, v, menu_);
  display::FRESHWIN();
}

}  // namespace tervalon
