#include "game/view/guide.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "display/surface.h"
#include "display/text.h"
#include "game/rules/coords.h"
#include "game/rules/trail.h"
#include "game/view/menu.h"

namespace tervalon {

namespace {

// The guide's entry mark: a shade no ghost, marker or wall has (ghosts are
// shades of yellow going forward and of blue going back).
constexpr std::uint32_t MARK_TEXT = 0xF0F0F0, MARK_BACK = 0x505050;
constexpr std::string_view FACE = "\xE9\xBB\x91\xE4\xBD\x93";  // 黑体: it draws Latin too

// Whether trail point i of the current level touches the entry cell.
bool at_entry(const Game& g, std::uint32_t i) {
  return HITSTP(g.STPX[g.BDLV][i], BD2X(g.BDIX[g.BDLV]), g.STPY[g.BDLV][i], BD2Y(g.BDIY[g.BDLV]));
}

// Moves at full running speed over a straight distance in pixels.
std::uint32_t run_moves(double dx, double dy) {
  return static_cast<std::uint32_t>(std::ceil(std::hypot(dx, dy) / MAXVX));
}

// Pixels written straight into the main surface, clipped to it: a BAR would
// change the surface's colours, which the next frame's drawing relies on.
void fill(std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h, std::uint32_t colour) {
  const display::PBITMAP main = display::PMAIN;
  if (!main) return;
  const std::int64_t x1 = std::min<std::int64_t>(x + w, main->WIDTH), y1 = std::min<std::int64_t>(y + h, main->HEIGHT);
  for (std::int64_t row = std::max<std::int64_t>(y, 0); row < y1; ++row)
    for (std::int64_t col = std::max<std::int64_t>(x, 0); col < x1; ++col)
      main->at(static_cast<std::uint32_t>(col), static_cast<std::uint32_t>(row)) = colour;
}

// The font settings as the game left them, put back on leaving.
class FontKept {
 public:
  FontKept() = default;
  FontKept(const FontKept&) = delete;
  FontKept& operator=(const FontKept&) = delete;
  ~FontKept() {
    display::FH = FH, display::FW = FW, display::FWG = FWG, display::FLT = FLT, display::FUD = FUD;
    display::FSK = FSK, display::FCS = FCS, display::FFN = std::move(FFN), display::STRZ = STRZ;
    display::FX = FX, display::FY = FY;
  }

 private:
  std::uint32_t FH = display::FH, FW = display::FW, FWG = display::FWG, FLT = display::FLT, FUD = display::FUD,
                FSK = display::FSK, FCS = display::FCS;
  std::string FFN = display::FFN;
  display::SIZE STRZ = display::STRZ;
  std::uint32_t FX = display::FX, FY = display::FY;
};

}  // namespace

std::uint32_t moves_to_next_ghost(const Game& g) {
  // The ghosts now are points head - 160k above 0; the next appears when
  // the head is one past the next multiple of 160.
  const std::uint32_t head = g.STPN[g.BDLV];
  const std::uint32_t ghosts = head > 0 ? (head - 1) / STPSTP : 0;
  return STPSTP * (ghosts + 1) + 1 - head;
}

std::uint32_t moves_home(const Game& g) {
  const std::int8_t l = g.BDLV;
  const std::uint32_t head = g.STPN[l];
  const double x = g.STPX[l][head], y = g.STPY[l][head];
  if (at_entry(g, head)) return 0;
  // The forward trail ends where it first touched the exit at its least
  // length: the way back goes on from there. Its first points may still
  // touch the entry: those are home already.
  std::uint32_t end = 0;
  for (std::uint32_t i = std::max<std::uint32_t>(g.STPM[l], 1); i < head && end == 0; ++i)
    if (HITSTP(g.STPX[l][i], BD2X(g.BDOX[l]), g.STPY[l][i], BD2Y(g.BDOY[l]))) end = i;
  // No forward trail left (a level restarted on the way back): straight home.
  if (end == 0) return run_moves(x - BD2X(g.BDIX[l]), y - BD2Y(g.BDIY[l]));
  std::uint32_t home = 0;
  while (home < end && at_entry(g, home + 1)) ++home;
  // Where the trail first came here; off it, its nearest point and the run there.
  std::uint32_t nearest = home + 1;
  double nearest_d2 = INFINITY;
  for (std::uint32_t i = home + 1; i <= end; ++i) {
    const double dx = x - g.STPX[l][i], dy = y - g.STPY[l][i];
    if (HITSTP(x, g.STPX[l][i], y, g.STPY[l][i])) return i - home;
    if (dx * dx + dy * dy < nearest_d2) nearest = i, nearest_d2 = dx * dx + dy * dy;
  }
  return nearest - home + run_moves(x - g.STPX[l][nearest], y - g.STPY[l][nearest]);
}

std::string guide_line(const Game& g) {
  const std::int8_t level = g.BDLV;
  const std::uint32_t head = g.STPN[level];
  const std::uint32_t ghosts = head > 0 ? (head - 1) / STPSTP : 0;
  const std::uint32_t next = moves_to_next_ghost(g);
  std::string line = level == 0 ? std::string("起点 hub")
                                : "第" + std::to_string(level) + "关 level " + std::to_string(level) +
                                      (g.GSIT == 2 ? " 回程 back" : " 去程 forward");
  if (g.GSIT == 2) {
    const std::uint32_t caught = std::min(caught_ghosts(g), ghosts);
    return line + " · 影子 ghosts " + std::to_string(ghosts) + "，抓到 caught " + std::to_string(caught) +
           " · 新影子 next: " + std::to_string(next) +
           " 步 moves · 沿轨迹回家 home by the trail: " + std::to_string(moves_home(g)) + " 步 moves";
  }
  line += " · 轨迹 trail " + std::to_string(head) + "/" + std::to_string(g.STPM[level]) + " · 影子 ghosts " +
          std::to_string(ghosts);
  return line + " · 下一个 next: " + std::to_string(next) + " 步 moves";
}

void draw_guide(const Game& g, View& v) {
  // An arrow over the entry pointing down at where every new ghost first
  // stands: a shape no box has, in a shade no ghost has.
  const std::uint32_t mark = entry_mark_colour(g, v.palette);
  display::sync_main_surface();
  const std::int64_t x = BD2X(g.BDIX[g.BDLV]), top = BD2Y(g.BDIY[g.BDLV]) - PH / 2 - 10;
  for (std::int64_t row = 0; row < 6; ++row) fill(x - 6 + row, top + row, 12 - 2 * row, 1, mark);
  draw_note(g, v, guide_line(g), true);
}

void draw_goal(const Game& g) {
  if (g.CTEMP != 0) return;  // the story's fade is over the board
  display::sync_main_surface();
  const bool home = g.GSIT == 2;
  const std::int64_t x = BD2X(home ? g.BDIX[g.BDLV] : g.BDOX[g.BDLV]) - PW / 2 - 2,
                     y = BD2Y(home ? g.BDIY[g.BDLV] : g.BDOY[g.BDLV]) - PH / 2 - 2;
  // The exit marker's own colour in this pass: blue going forward, yellow
  // going back, never a ghost's hue.
  const std::uint32_t colour = 191 * g.C[g.GSIT];
  fill(x, y, PW + 4, 2, colour);
  fill(x, y + PH + 2, PW + 4, 2, colour);
  fill(x, y + 2, 2, PH, colour);
  fill(x + PW + 2, y + 2, 2, PH, colour);
}

std::vector<std::string> assist_lines(const Assists& a) {
  std::vector<std::string> lines;
  if (a.practising) lines.emplace_back("练习 practice");
  if (a.speed < 100) lines.push_back("速度 speed " + std::to_string(a.speed) + "%，不计纪录 no best times");
  if (a.muted) lines.emplace_back("静音 sound off");
  return lines;
}

void draw_assists(const Game& g, const Assists& a) {
  const std::vector<std::string> lines = assist_lines(a);
  display::sync_main_surface();
  if (lines.empty() || !display::PMAIN || g.W == 0 || g.H == 0) return;
  const FontKept kept;
  display::FFN = FACE;
  display::FH = std::clamp<std::uint32_t>(g.H / 40, 8, 24);
  display::FW = display::FH / 2;
  display::FWG = display::FLT = display::FUD = display::FSK = 0;
  display::SETFONT();
  const std::uint32_t margin = display::FH / 3, w = std::min(g.W, display::PMAIN->WIDTH);
  std::int64_t y = std::int64_t{std::min(g.H, display::PMAIN->HEIGHT)} - margin;
  for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
    y -= display::FH;
    const std::int64_t x = std::int64_t{w} - margin - display::GETSTRINGWIDTH(*line);
    display::DRAWTEXTXY(nullptr, *line, static_cast<std::uint32_t>(std::max<std::int64_t>(x, 0)),
                        static_cast<std::uint32_t>(std::max<std::int64_t>(y, 0)), MARK_TEXT, MARK_BACK);
  }
}

}  // namespace tervalon
