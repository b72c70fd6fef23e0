// Window and tile set-up.
#include "window_setup.h"

#include <algorithm>

#include "draw.h"
#include "icon.h"
#include "options.h"
#include "window.h"

namespace tervalon {

namespace {

// The window opens with its title and its icon, a surface drawn from the
// icon picture.
void open_with_title_and_icon() {
  constexpr std::uint32_t size = 64;
  display::PBITMAP icon = display::CREATEBMP(size, size, display::WHITE);
  std::vector<std::uint32_t> picture = icon_picture(size);
  std::copy(picture.begin(), picture.end(), icon->pixels.begin());
  display::open_with("Tervalon", icon);  // takes a copy
  display::RELEASEBMP(icon);
}

}  // namespace

void INITWIN() {
  W = base::narrow<std::uint32_t>(BDW * 20);
  H = base::narrow<std::uint32_t>(BDH * 20);
  // The board is composed at its own size; the window scales it.
  display::set_logical_size(W, H, OPTIONS.scale, OPTIONS.fullscreen);
  display::use_alias_keys();
  display::without_typed_text();
  open_with_title_and_icon();
  display::CREATEWIN(W, H, display::BLACK, display::WHITE);
  PTEMP = display::CREATEBMP();
  PTEXT = display::CREATEBMP();
  for (std::int8_t BDP = 0; BDP <= 5; ++BDP) PBD[BDP] = display::CREATEBMP(20, 20, display::WHITE);
  display::BAR(PBD[1], 0, 0, 20, 20, display::GRAY);
}

}  // namespace tervalon
