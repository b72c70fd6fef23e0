#include "game/view/guide.h"

#include <algorithm>

#include "display/surface.h"
#include "game/rules/coords.h"
#include "game/rules/trail.h"
#include "game/view/menu.h"

namespace tervalon {

std::string guide_line(const Game& g) {
  const std::int8_t level = g.BDLV;
  const std::uint32_t head = g.STPN[level];
  // Ghost k stands on trail point head - 160k while that is above 0.
  const std::uint32_t ghosts = head > 0 ? (head - 1) / STPSTP : 0;
  const std::uint32_t caught = caught_ghosts(g);
  const std::uint32_t next = STPSTP * (ghosts + 1) + 1 - head;
  std::string line = level == 0 ? std::string("起点 hub")
                                : "第" + std::to_string(level) + "关 level " + std::to_string(level) +
                                      (g.GSIT == 2 ? " 回程 back" : " 去程 forward");
  if (g.GSIT == 2) {
    line += " · 影子 ghosts " + std::to_string(ghosts) + "，抓到 caught " + std::to_string(caught) + "，还剩 left " +
            std::to_string(ghosts - caught);
  } else {
    line += " · 轨迹 trail " + std::to_string(head) + "/" + std::to_string(g.STPM[level]) + " · 影子 ghosts " +
            std::to_string(ghosts);
  }
  return line + " · 下一个 next: " + std::to_string(next) + " 步 moves";
}

void draw_guide(const Game& g, View& v) {
  // A bar over the entry: the first trail point, where every new ghost
  // first stands. Written as pixels: a BAR would change the surface's
  // colours, which the next frame's drawing relies on.
  const std::uint32_t mark = entry_mark_colour(g, v.palette);
  display::sync_main_surface();
  if (display::PBITMAP main = display::PMAIN) {
    const std::int64_t x = BD2X(g.BDIX[g.BDLV]), y = BD2Y(g.BDIY[g.BDLV]) - PH / 2 - 8;
    for (std::int64_t row = std::max<std::int64_t>(y, 0); row < y + 4 && row < main->HEIGHT; ++row)
      for (std::int64_t col = std::max<std::int64_t>(x - 6, 0); col < x + 6 && col < main->WIDTH; ++col)
        main->at(static_cast<std::uint32_t>(col), static_cast<std::uint32_t>(row)) = mark;
  }
  draw_note(g, v, guide_line(g), true);
}

}  // namespace tervalon
