// Window and tile set-up.
#include "game/view/window_setup.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "display/window.h"
#include "game/view/icon.h"

namespace tervalon {

namespace {

// The window opens with its title and its icon, a surface drawn from the
// icon picture.
void open_with_title_and_icon() {
  constexpr std::uint32_t size = 64;
  display::PBITMAP icon = display::CREATEBMP(size, size, ICON_GROUND);  // its own colour is transparent
  std::vector<std::uint32_t> picture = icon_picture(size);
  std::copy(picture.begin(), picture.end(), icon->pixels.begin());
  display::open_with("Tervalon", icon);  // takes a copy
  display::RELEASEBMP(icon);
}

}  // namespace

void INITWIN(const Game& g, View& v, std::uint32_t scale, bool fullscreen, bool fit) {
  if (g.BDW < 0 || g.BDH < 0)
    base::runtime_error(base::RANGE_ERROR, "the board is " + std::to_string(g.BDW) + " x " + std::to_string(g.BDH) +
                                               " cells: no window has a negative side");
  // The board is composed at its own size; the window scales it.
  display::set_logical_size(g.W, g.H, scale, fullscreen, fit);
  display::use_alias_keys();
  display::without_typed_text();
  open_with_title_and_icon();
  display::CREATEWIN(g.W, g.H, display::BLACK, display::WHITE);
  if (const std::uint32_t opened = display::window_scale(); scale && opened && opened < scale)
    std::fprintf(stderr, "tervalon: --scale %u does not fit the screen (%d x %d); using %u\n", scale,
                 display::GETSCRWIDTH(), display::GETSCRHEIGHT(), opened);
  v.PTEMP = display::CREATEBMP();
  v.PTEXT = display::CREATEBMP();
  for (std::int8_t BDP = 0; BDP <= 5; ++BDP) v.PBD[BDP] = display::CREATEBMP(BDSZ, BDSZ, display::WHITE);
  display::BAR(v.PBD[1], 0, 0, BDSZ, BDSZ, display::GRAY);
}

}  // namespace tervalon
