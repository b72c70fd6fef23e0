// Frame composition. A frame is the board picture, up to 409 ghost boxes,
// three markers, the player and the overlay; a frame that shows what the last
// one showed is not drawn again, and one where only boxes moved redraws only
// their rows.
#include "game/view/draw.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <utility>
#include <vector>

#include "base/numbers.h"
#include "display/clock.h"
#include "display/text.h"
#include "display/window.h"
#include "game/rules/coords.h"
#include "game/rules/rules.h"
#include "game/rules/text_cells.h"

namespace tervalon {

namespace {

std::int32_t round_px(double v) { return base::narrow<std::int32_t>(base::round_i64(v)); }

// The text page is a pure function of these; rebuilding an unchanged page
// would change no pixel.
struct TextPage {
  std::array<std::string, 4> lines;
  bool gbk;
  std::uint32_t colour, w, h;
  bool operator==(const TextPage&) const = default;
};

// Everything a frame's picture is made from, besides the tiles and the
// faces: when none of it has changed, neither has the picture.
struct FrameInputs {
  std::vector<std::int8_t> cells;  // read_board
  std::int8_t level = 0, pass = 0;
  std::uint32_t head = 0, least = 0;
  std::array<std::int32_t, 6> markers{};
  std::array<std::uint32_t, 5> colours{};
  Palette palette = Palette::standard;
  std::uint8_t fade = 0, text = 0;
  TextPage page{};
  std::vector<double> points;  // head and ghosts: x, y, caught
  bool operator==(const FrameInputs&) const = default;
};

// A filled box of the frame: a trail point (ghost or player) or a marker.
struct Box {
  std::int32_t x, y, w, h;
  std::uint32_t colour;
  void draw() const { display::BAR(x, y, w, h, colour); }
};

}  // namespace

struct View::Kept {
  std::optional<TextPage> page_built;
  display::PBITMAP board = nullptr;                 // the current level's tiles in one picture
  std::vector<std::int8_t> board_cells, cells_now;  // what it shows (read_board); scratch
  FrameInputs shown, wanted_now;                    // what DRAWALL presented last; scratch
  std::uint64_t shown_changes = ~std::uint64_t{0};  // the surfaces' change count just after
  std::vector<Box> boxes_drawn, boxes;              // by the last composition; scratch
  display::ChangedRows rows;
};

View::View() : kept(std::make_unique<Kept>()) {}
View::~View() = default;

namespace {

void build_text_page(const Game& g, View& v) {
  display::CLEAR(v.PTEXT);
  for (int STEXTI = 1; STEXTI <= 4; ++STEXTI) {
    display::SETFONTNAME(STEXTI <= 2 ? "\xE9\xBB\x91\xE4\xBD\x93" /* 黑体 */ : "Consolas");
    display::SETFONTSIZE(14, 28);
    display::SETFONT(v.PTEXT);
    const std::string& line = g.CURTEXT[STEXTI];
    // The display library reads text as UTF-8 when it can: a line of a GBK
    // file goes to it converted.
    const std::string shown = g.story_in_gbk ? display::gbk_to_utf8(line) : line;
    std::int64_t x = (std::int64_t{g.W} - GETSTRWIDTH(g, line)) / 2;
    v.CURTEXTX = base::narrow<std::uint32_t>(display::MAX(0, base::narrow<std::int32_t>(x)));
    std::int64_t y = (std::int64_t{g.H} - display::GETSTRINGHEIGHT(shown)) / 2 + 30 * std::int64_t{STEXTI} - 100;
    v.CURTEXTY = base::narrow<std::uint32_t>(display::MAX(0, base::narrow<std::int32_t>(y)));
    display::DRAWTEXTXY(v.PTEXT, shown, v.CURTEXTX, v.CURTEXTY, g.CURTEXTC);
  }
}

// The overlay: the frame so far faded towards white by CTEMP, and the text
// page laid over it with weight CTEMP / 255.
void draw_overlay(const Game& g, View& v) {
  // At CTEMP = 0 the snapshot goes back opaque and whole, and the page is laid
  // at weight 0: the frame is left exactly as it is.
  if (g.CTEMP == 0) return;
  TextPage wanted{{g.CURTEXT[1], g.CURTEXT[2], g.CURTEXT[3], g.CURTEXT[4]}, g.story_in_gbk, g.CURTEXTC, g.W, g.H};
  if (v.kept->page_built != wanted) {
    build_text_page(g, v);
    v.kept->page_built = wanted;
  }
  const display::PBITMAP page = display::ISWIN() ? v.PTEXT : nullptr;
  const std::uint32_t frame_colour = std::uint32_t{g.CTEMP} << 24, page_colour = std::uint32_t{g.CTEXT} << 24;
  // The snapshot: a frame never holds the main surface's key colour 0x000001,
  // so the keyed copy into PTEMP is a whole copy when the sizes agree. Then
  // clearing, fading the snapshot in and laying the page over it is one pass
  // over the frame itself, or, failing that, trading the two pixel stores
  // gives PTEMP the same pixels for free.
  display::sync_main_surface();
  if (v.PTEMP->WIDTH == display::PMAIN->WIDTH && v.PTEMP->HEIGHT == display::PMAIN->HEIGHT) {
    if (display::clear_and_lay(nullptr, display::PMAIN, frame_colour, page, page_colour)) return;
    std::swap(v.PTEMP->pixels, display::PMAIN->pixels);
  } else {
    display::DRAWBMP(display::PMAIN, v.PTEMP);
  }
  display::CLEAR();
  display::DRAWBMP(v.PTEMP, frame_colour);
  if (page) display::DRAWBMP(page, page_colour);
}

// The current level's board as BDW, BDH and then its cells column by column:
// what the board picture is drawn from.
void read_board(const Game& g, std::vector<std::int8_t>& cells) {
  cells.assign({g.BDW, g.BDH});
  for (std::int8_t x = 0; x < g.BDW; ++x) cells.insert(cells.end(), &g.BD[g.BDLV][x][0], &g.BD[g.BDLV][x][0] + g.BDH);
}

void read_inputs(const Game& g, Palette palette, FrameInputs& f) {
  read_board(g, f.cells);
  f.palette = palette;
  f.level = g.BDLV;
  f.pass = g.GSIT;
  f.head = g.STPN[g.BDLV];
  f.least = g.STPM[g.BDLV];
  f.markers = {g.BDIX[g.BDLV], g.BDIY[g.BDLV], g.BDOX[g.BDLV], g.BDOY[g.BDLV], g.BDEX[g.BDLV], g.BDEY[g.BDLV]};
  for (int i = 0; i <= 4; ++i) f.colours[i] = g.C[i];
  f.fade = g.CTEMP;
  f.text = g.CTEXT;
  for (int i = 0; i < 4; ++i) f.page.lines[i] = g.CURTEXT[i + 1];  // into the strings' own room: no allocation
  f.page.colour = g.CURTEXTC;
  f.page.w = g.W;
  f.page.h = g.H;
  f.points.clear();
  std::uint32_t ghost = 0;
  for (std::int64_t i = g.STPN[g.BDLV]; i >= 0; i -= STPSTP, ++ghost) {
    const auto p = static_cast<std::uint32_t>(i);
    f.points.insert(f.points.end(),
                    {g.STPX[g.BDLV][p], g.STPY[g.BDLV][p], ghost <= STPPMAX && g.STPP[g.BDLV][ghost] ? 1.0 : 0.0});
  }
}

}  // namespace

void DRAWBD(const View& v, std::int32_t BDX, std::int32_t BDY, std::int32_t BDK) {
  auto x = base::narrow<std::uint32_t>(base::mul(BDX, BDSZ));
  auto y = base::narrow<std::uint32_t>(base::mul(BDY, BDSZ));
  display::DRAWBMP(v.PBD[BDK], x, y);
}

namespace {

// The tiles of the current level are drawn once into a picture that is then
// copied whole, keyed on the tiles' white: the same pixels as drawing every
// tile every frame. The picture keeps a copy of the cells it shows and is
// redrawn when any cell of the board differs (a comparison of at most 16 KB).
display::PBITMAP board_picture(const Game& g, View& v) {
  display::PBITMAP& picture = v.kept->board;
  std::vector<std::int8_t>&shown = v.kept->board_cells, &now = v.kept->cells_now;
  if (!picture || picture->WIDTH != g.W || picture->HEIGHT != g.H) {
    display::RELEASEBMP(picture);
    picture = display::CREATEBMP(g.W, g.H, display::WHITE);
    shown.clear();
  }
  read_board(g, now);
  if (now != shown) {
    display::CLEAR(picture, display::WHITE);
    for (std::int8_t BDX = 0; BDX <= g.BDW - 1; ++BDX)
      for (std::int8_t BDY = 0; BDY <= g.BDH - 1; ++BDY)
        display::DRAWBMP(v.PBD[g.BD[g.BDLV][BDX][BDY]], picture, std::uint32_t{BDSZ} * BDX, std::uint32_t{BDSZ} * BDY,
                         0u);
    shown.swap(now);
  }
  return picture;
}

// CLEAR and DRAWBDALL. When the board covers the whole main surface, the
// cleared white shows exactly where the picture is white, so one opaque copy
// (keyed on a colour it never holds) does both.
void clear_and_draw_board(const Game& g, View& v) {
  display::sync_main_surface();
  if (g.W > 0 && g.H > 0 && display::PMAIN->WIDTH == g.W && display::PMAIN->HEIGHT == g.H) {
    display::DRAWBMP(board_picture(g, v), display::TRANSPARENT);
  } else {
    display::CLEAR();
    DRAWBDALL(g, v);
  }
}

}  // namespace

void DRAWBDALL(const Game& g, View& v) {
  if (g.W > 0 && g.H > 0) display::DRAWBMP(board_picture(g, v), display::WHITE);
}

namespace {

Box trail_box(const Game& g, std::uint32_t STPC, std::uint32_t COLORC) {
  auto colour = base::narrow<std::uint32_t>(
      base::mul(std::int64_t{g.C[3 - g.GSIT]}, std::int64_t{128} - std::int64_t{COLORC}));
  return {round_px(g.STPX[g.BDLV][STPC] - 8.0), round_px(g.STPY[g.BDLV][STPC] - 18.0), PW, PH, colour};
}

// The colour-blind palette (0x00BBGGRR). Ghosts run from a strong shade, the
// nearest ghost, to a pale one, warm on the way forward and cool on the way
// back. The markers take the other pass's hues: the entry dark, the exit
// light on the way forward and strong on the way back; the end is vermilion.
// Simulated red-green and blue-yellow colour blindness keeps every marker at
// least 28 (CIELAB) from the others, the ghosts, the walls, the board and the
// player, and neighbouring ghost shades 13 apart.
struct Ramp {
  std::uint32_t strong, pale;
};
constexpr Ramp WARM_GHOSTS{0x0050BE, 0xAADCFF}, COOL_GHOSTS{0x6E2800, 0xF5D2AA};
constexpr std::uint32_t SKY = 0xE9B456, VERMILION = 0x005ED5, NAVY = 0x6E3200, BROWN = 0x003278;

// A ghost's shade: COLORC 64 for the nearest, halving with each ghost
// further, towards the pale end as the standard shades go towards 128.
std::uint32_t ramp_shade(const Ramp& r, std::uint32_t COLORC) {
  std::uint32_t out = 0;
  for (int s = 0; s < 24; s += 8) {
    const std::uint32_t strong = r.strong >> s & 255, pale = r.pale >> s & 255;
    out |= (strong * COLORC + pale * (64 - COLORC) + 32) / 64 << s;
  }
  return out;
}

// The colours of one frame's boxes in a palette: the standard ones as the
// game's colour steps make them.
struct FrameColours {
  const Game& g;
  Palette p;
  bool standard() const { return p == Palette::standard; }
  std::uint32_t ghost(std::uint32_t COLORC, std::uint32_t standard_colour) const {
    return standard() ? standard_colour : ramp_shade(g.GSIT == 2 ? COOL_GHOSTS : WARM_GHOSTS, COLORC);
  }
  std::uint32_t entry(std::uint32_t COLORC) const {
    return standard() ? g.C[3 - g.GSIT] * (127 - COLORC) : g.GSIT == 2 ? BROWN : NAVY;
  }
  std::uint32_t exit() const { return standard() ? 191 * g.C[g.GSIT] : g.GSIT == 2 ? VERMILION : SKY; }
  std::uint32_t end() const { return standard() ? 255 * g.C[4] : VERMILION; }
};

// The boxes DRAWRECTALL draws, in its order.
void frame_boxes(const Game& g, Palette palette, std::vector<Box>& boxes) {
  const FrameColours colours{g, palette};
  boxes.clear();
  std::uint32_t COLORC = 128;
  std::int32_t STPPI = 0;
  std::int32_t STPC = static_cast<std::int32_t>(g.STPN[g.BDLV]) - STPSTP;
  while (STPC > 0) {
    COLORC >>= 1;
    ++STPPI;
    if (g.GSIT == 1 || (g.GSIT == 2 && !g.STPP[g.BDLV][STPPI])) {
      boxes.push_back(trail_box(g, static_cast<std::uint32_t>(STPC), COLORC));
      boxes.back().colour = colours.ghost(COLORC, boxes.back().colour);
    }
    STPC -= STPSTP;
  }
  COLORC >>= 1;

  // The entry marker rises as the next ghost comes due; the exit marker grows
  // as the trail nears its least length. A level whose least length is 0 has
  // met it from the start: its marker is full.
  auto PHI = base::narrow<std::uint32_t>(base::round_i64(-STPC / 160.0 * 36.0));
  std::uint32_t PHO = 36;
  if (g.STPM[g.BDLV] > 0) {
    // 36 (STPN + 1) / STPM to the nearest integer, ties to even, exactly.
    const std::uint64_t q = base::round_div_even(36 * (std::uint64_t{g.STPN[g.BDLV]} + 1), g.STPM[g.BDLV]);
    PHO = static_cast<std::uint32_t>(std::min<std::uint64_t>(q, 36));
  }

  if (g.GSIT >= 1)
    boxes.push_back({BD2X(g.BDIX[g.BDLV]) - 8, BD2Y(g.BDIY[g.BDLV]) - 18 + static_cast<std::int32_t>(PHI), PW,
                     PH - static_cast<std::int32_t>(PHI), colours.entry(COLORC)});
  boxes.push_back(
      {BD2X(g.BDOX[g.BDLV]) - 8, BD2Y(g.BDOY[g.BDLV]) - 18, PW, static_cast<std::int32_t>(PHO), colours.exit()});
  if (g.GSIT == 0) boxes.push_back({BD2X(g.BDEX[g.BDLV]) - 8, BD2Y(g.BDEY[g.BDLV]) - 18, PW, PH, colours.end()});
  boxes.push_back(trail_box(g, g.STPN[g.BDLV], 128));
}

}  // namespace

void DRAWRECT(const Game& g, std::uint32_t STPC, std::uint32_t COLORC) { trail_box(g, STPC, COLORC).draw(); }

void DRAWRECTALL(const Game& g, View& v) {
  frame_boxes(g, v.palette, v.kept->boxes_drawn);
  for (const Box& b : v.kept->boxes_drawn) b.draw();
}

std::uint32_t entry_mark_colour(const Game& g, Palette p) {
  constexpr std::uint32_t MAGENTA = 0xC000C0;  // a shade no ghost has in either pass
  return p == Palette::standard ? MAGENTA : FrameColours{g, p}.entry(0);
}

std::uint32_t GETSTRWIDTH(const Game& g, std::string_view S) {
  return base::mul(text_cells(S, g.story_in_gbk), display::FW);
}

void DRAWPAUSE(Game& g, View& v) {
  fade_step(g);
  draw_overlay(g, v);
}

void compose_frame(const Game& g, View& v) {
  clear_and_draw_board(g, v);
  DRAWRECTALL(g, v);
  draw_overlay(g, v);
}

namespace {

// compose_frame() when the main surface still holds the last composition and
// only boxes moved: elsewhere both frames are the bare board, so only the rows
// the boxes of either cover are drawn again, the board and then every box
// that reaches into them.
void compose_boxes(const Game& g, View& v) {
  std::vector<Box>&boxes = v.kept->boxes, &boxes_drawn = v.kept->boxes_drawn;
  display::ChangedRows& rows = v.kept->rows;
  frame_boxes(g, v.palette, boxes);
  rows.reset(g.H, false);
  auto row = [](std::int64_t y) { return static_cast<std::uint32_t>(std::max<std::int64_t>(y, 0)); };
  for (const std::vector<Box>* list : {&boxes_drawn, &boxes})
    for (const Box& b : *list)
      if (b.w > 0 && b.h > 0) rows.mark(row(b.y), row(std::int64_t{b.y} + b.h));
  const display::PBITMAP board = board_picture(g, v);
  rows.for_each_run([&](std::uint32_t top, std::uint32_t bottom) {
    display::DRAWBMP(board, 0, top, g.W, bottom - top, 0, top, g.W, bottom - top, display::TRANSPARENT);
    for (const Box& b : boxes) {
      const std::int64_t y0 = std::max<std::int64_t>(b.y, top),
                         y1 = std::min<std::int64_t>(std::int64_t{b.y} + b.h, bottom);
      if (b.w > 0 && y0 < y1)
        display::BAR(b.x, static_cast<std::int32_t>(y0), b.w, static_cast<std::int32_t>(y1 - y0), b.colour);
    }
  });
  // The surface keeps the colours of its last BAR: the same as after a whole frame.
  display::BAR(boxes.back().x, boxes.back().y, 0, 0, boxes.back().colour);
  boxes_drawn.swap(boxes);
}

}  // namespace

void DRAWALL(const Game& g, View& v) {
  View::Kept& k = *v.kept;
  FrameInputs &shown = k.shown, &wanted_now = k.wanted_now;
  read_inputs(g, v.palette, wanted_now);
  const bool kept = k.shown_changes == display::main_surface_changes();
  if (kept && wanted_now == shown) {
    // The same picture again, still in both surfaces: only record the presentation.
    display::ADDFPS();
    return;
  }
  display::sync_main_surface();
  if (kept && wanted_now.cells == shown.cells && wanted_now.fade == 0 && shown.fade == 0 &&
      display::PMAIN->WIDTH == g.W && display::PMAIN->HEIGHT == g.H)
    compose_boxes(g, v);
  else
    compose_frame(g, v);
  display::FRESHWIN();
  std::swap(shown, wanted_now);
  k.shown_changes = display::main_surface_changes();
}

}  // namespace tervalon
