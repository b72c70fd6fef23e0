// Frame composition. Every drawn frame repaints everything: board tiles,
// up to 409 ghost boxes, three markers, the player, and the overlay.
#include "draw.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <utility>
#include <vector>

#include "base/numbers.h"
#include "clock.h"
#include "coords.h"
#include "rules.h"
#include "text.h"
#include "text_cells.h"
#include "window.h"

namespace tervalon {

display::PBITMAP PTEMP, PTEXT;
Array<display::PBITMAP, 0, 5> PBD;

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
std::optional<TextPage> page_built;

void build_text_page() {
  display::CLEAR(PTEXT);
  for (STEXTI = 1; STEXTI <= 4; ++STEXTI) {
    display::SETFONTNAME(STEXTI <= 2 ? "\xE9\xBB\x91\xE4\xBD\x93" /* 黑体 */ : "Consolas");
    display::SETFONTSIZE(14, 28);
    display::SETFONT(PTEXT);
    const std::string& line = CURTEXT[STEXTI];
    // The display library reads text as UTF-8 when it can: a line of a GBK
    // file goes to it converted.
    const std::string shown = story_in_gbk ? display::gbk_to_utf8(line) : line;
    std::int64_t x = (std::int64_t{W} - GETSTRWIDTH(line)) / 2;
    CURTEXTX = base::narrow<std::uint32_t>(display::MAX(0, base::narrow<std::int32_t>(x)));
    std::int64_t y = (std::int64_t{H} - display::GETSTRINGHEIGHT(shown)) / 2 + 30 * std::int64_t{STEXTI} - 100;
    CURTEXTY = base::narrow<std::uint32_t>(display::MAX(0, base::narrow<std::int32_t>(y)));
    display::DRAWTEXTXY(PTEXT, shown, CURTEXTX, CURTEXTY, CURTEXTC);
  }
}

// The overlay: the frame so far faded towards white by CTEMP, and the text
// page laid over it with weight CTEMP / 255.
void draw_overlay() {
  // At CTEMP = 0 the snapshot goes back opaque and whole, and the page is laid
  // at weight 0: the frame is left exactly as it is.
  if (CTEMP == 0) return;
  TextPage wanted{{CURTEXT[1], CURTEXT[2], CURTEXT[3], CURTEXT[4]}, story_in_gbk, CURTEXTC, W, H};
  if (page_built != wanted) {
    build_text_page();
    page_built = wanted;
  }
  const display::PBITMAP page = display::ISWIN() ? PTEXT : nullptr;
  const std::uint32_t frame_colour = std::uint32_t{CTEMP} << 24, page_colour = std::uint32_t{CTEXT} << 24;
  // The snapshot: a frame never holds the main surface's key colour 0x000001,
  // so the keyed copy into PTEMP is a whole copy when the sizes agree. Then
  // clearing, fading the snapshot in and laying the page over it is one pass
  // over the frame itself, or, failing that, trading the two pixel stores
  // gives PTEMP the same pixels for free.
  display::sync_main_surface();
  if (PTEMP->WIDTH == display::PMAIN->WIDTH && PTEMP->HEIGHT == display::PMAIN->HEIGHT) {
    if (display::clear_and_lay(nullptr, display::PMAIN, frame_colour, page, page_colour)) return;
    std::swap(PTEMP->pixels, display::PMAIN->pixels);
  } else {
    display::DRAWBMP(display::PMAIN, PTEMP);
  }
  display::CLEAR();
  display::DRAWBMP(PTEMP, frame_colour);
  if (page) display::DRAWBMP(page, page_colour);
}

// The current level's board as BDW, BDH and then its cells column by column:
// what the board picture is drawn from.
void read_board(std::vector<std::int8_t>& cells) {
  cells.assign({BDW, BDH});
  for (std::int8_t x = 0; x < BDW; ++x) cells.insert(cells.end(), &BD[BDLV][x][0], &BD[BDLV][x][0] + BDH);
}

// Everything a frame's picture is made from, besides the tiles and the
// faces: when none of it has changed, neither has the picture.
struct FrameInputs {
  std::vector<std::int8_t> cells;  // read_board
  std::int8_t level = 0, pass = 0;
  std::uint32_t head = 0, least = 0;
  std::array<std::int32_t, 6> markers{};
  std::array<std::uint32_t, 5> colours{};
  std::uint8_t fade = 0, text = 0;
  TextPage page{};
  std::vector<double> points;  // head and ghosts: x, y, caught
  bool operator==(const FrameInputs&) const = default;
};

void read_inputs(FrameInputs& f) {
  read_board(f.cells);
  f.level = BDLV;
  f.pass = GSIT;
  f.head = STPN[BDLV];
  f.least = STPM[BDLV];
  f.markers = {BDIX[BDLV], BDIY[BDLV], BDOX[BDLV], BDOY[BDLV], BDEX[BDLV], BDEY[BDLV]};
  for (int i = 0; i <= 4; ++i) f.colours[i] = C[i];
  f.fade = CTEMP;
  f.text = CTEXT;
  for (int i = 0; i < 4; ++i) f.page.lines[i] = CURTEXT[i + 1];  // into the strings' own room: no allocation
  f.page.colour = CURTEXTC;
  f.page.w = W;
  f.page.h = H;
  f.points.clear();
  std::uint32_t ghost = 0;
  for (std::int64_t i = STPN[BDLV]; i >= 0; i -= STPSTP, ++ghost) {
    const auto p = static_cast<std::uint32_t>(i);
    f.points.insert(f.points.end(), {STPX[BDLV][p], STPY[BDLV][p], ghost <= STPPMAX && STPP[BDLV][ghost] ? 1.0 : 0.0});
  }
}

// What DRAWALL presented last, and the surfaces' change count just after.
FrameInputs shown, wanted_now;
std::uint64_t shown_changes = ~std::uint64_t{0};

}  // namespace

void DRAWBD(std::int32_t BDX, std::int32_t BDY, std::int32_t BDK) {
  auto x = base::narrow<std::uint32_t>(base::mul(BDX, 20));
  auto y = base::narrow<std::uint32_t>(base::mul(BDY, 20));
  display::DRAWBMP(PBD[BDK], x, y);
}

namespace {

// The tiles of the current level are drawn once into a picture that is then
// copied whole, keyed on the tiles' white: the same pixels as drawing every
// tile every frame. The picture keeps a copy of the cells it shows and is
// redrawn when any cell of the board differs (a comparison of at most 16 KB).
display::PBITMAP board_picture() {
  static display::PBITMAP picture = nullptr;
  static std::vector<std::int8_t> shown, now;  // read_board
  if (!picture || picture->WIDTH != W || picture->HEIGHT != H) {
    display::RELEASEBMP(picture);
    picture = display::CREATEBMP(W, H, display::WHITE);
    shown.clear();
  }
  read_board(now);
  if (now != shown) {
    display::CLEAR(picture, display::WHITE);
    for (std::int8_t BDX = 0; BDX <= BDW - 1; ++BDX)
      for (std::int8_t BDY = 0; BDY <= BDH - 1; ++BDY)
        display::DRAWBMP(PBD[BD[BDLV][BDX][BDY]], picture, 20u * BDX, 20u * BDY, 0u);
    shown.swap(now);
  }
  return picture;
}

// CLEAR and DRAWBDALL. When the board covers the whole main surface, the
// cleared white shows exactly where the picture is white, so one opaque copy
// (keyed on a colour it never holds) does both.
void clear_and_draw_board() {
  display::sync_main_surface();
  if (W > 0 && H > 0 && display::PMAIN->WIDTH == W && display::PMAIN->HEIGHT == H) {
    display::DRAWBMP(board_picture(), display::TRANSPARENT);
  } else {
    display::CLEAR();
    DRAWBDALL();
  }
}

}  // namespace

void DRAWBDALL() {
  if (W > 0 && H > 0) display::DRAWBMP(board_picture(), display::WHITE);
}

namespace {

// A filled box of the frame: a trail point (ghost or player) or a marker.
struct Box {
  std::int32_t x, y, w, h;
  std::uint32_t colour;
  void draw() const { display::BAR(x, y, w, h, colour); }
};

Box trail_box(std::uint32_t STPC, std::uint32_t COLORC) {
  auto colour = base::narrow<std::uint32_t>(
      base::mul(std::int64_t{C[3 - GSIT]}, std::int64_t{128} - std::int64_t{COLORC}));
  return {round_px(STPX[BDLV][STPC] - 8.0), round_px(STPY[BDLV][STPC] - 18.0), PW, PH, colour};
}

// The boxes DRAWRECTALL draws, in its order.
void frame_boxes(std::vector<Box>& boxes) {
  boxes.clear();
  std::uint32_t COLORC = 128;
  std::int32_t STPPI = 0;
  std::int32_t STPC = static_cast<std::int32_t>(STPN[BDLV]) - STPSTP;
  while (STPC > 0) {
    COLORC >>= 1;
    ++STPPI;
    if (GSIT == 1 || (GSIT == 2 && !STPP[BDLV][STPPI]))
      boxes.push_back(trail_box(static_cast<std::uint32_t>(STPC), COLORC));
    STPC -= STPSTP;
  }
  COLORC >>= 1;

  // The entry marker rises as the next ghost comes due; the exit marker grows
  // as the trail nears its least length. A level whose least length is 0 has
  // met it from the start: its marker is full.
  auto PHI = base::narrow<std::uint32_t>(base::round_i64(-STPC / 160.0 * 36.0));
  std::uint32_t PHO = 36;
  if (STPM[BDLV] > 0) {
    // 36 (STPN + 1) / STPM to the nearest integer, ties to even, exactly.
    const std::uint64_t q = base::round_div_even(36 * (std::uint64_t{STPN[BDLV]} + 1), STPM[BDLV]);
    PHO = static_cast<std::uint32_t>(std::min<std::uint64_t>(q, 36));
  }

  if (GSIT >= 1)
    boxes.push_back({BD2X(BDIX[BDLV]) - 8, BD2Y(BDIY[BDLV]) - 18 + static_cast<std::int32_t>(PHI), PW,
                     PH - static_cast<std::int32_t>(PHI), C[3 - GSIT] * (127 - COLORC)});
  boxes.push_back({BD2X(BDOX[BDLV]) - 8, BD2Y(BDOY[BDLV]) - 18, PW, static_cast<std::int32_t>(PHO), 191 * C[GSIT]});
  if (GSIT == 0) boxes.push_back({BD2X(BDEX[BDLV]) - 8, BD2Y(BDEY[BDLV]) - 18, PW, PH, 255 * C[4]});
  boxes.push_back(trail_box(STPN[BDLV], 128));
}

std::vector<Box> boxes_drawn;  // by the last composition

}  // namespace

void DRAWRECT(std::uint32_t STPC, std::uint32_t COLORC) { trail_box(STPC, COLORC).draw(); }

void DRAWRECTALL() {
  frame_boxes(boxes_drawn);
  for (const Box& b : boxes_drawn) b.draw();
}

std::uint32_t GETSTRWIDTH(std::string_view S) { return base::mul(text_cells(S), display::FW); }

void DRAWPAUSE() {
  fade_step();
  draw_overlay();
}

void compose_frame() {
  clear_and_draw_board();
  DRAWRECTALL();
  draw_overlay();
}

namespace {

// compose_frame() when the main surface still holds the last composition and
// only boxes moved: elsewhere both frames are the bare board, so only the rows
// the boxes of either cover are drawn again, the board and then every box
// that reaches into them.
void compose_boxes() {
  static std::vector<Box> boxes;
  static std::vector<std::uint8_t> rows;
  frame_boxes(boxes);
  const auto height = static_cast<std::int64_t>(H);
  rows.assign(H, 0);
  for (const std::vector<Box>* list : {&boxes_drawn, &boxes})
    for (const Box& b : *list)
      if (b.w > 0 && b.h > 0)
        std::fill(rows.begin() + std::clamp<std::int64_t>(b.y, 0, height),
                  rows.begin() + std::clamp<std::int64_t>(std::int64_t{b.y} + b.h, 0, height), 1);
  const display::PBITMAP board = board_picture();
  display::for_each_run(rows, [&](std::uint32_t top, std::uint32_t bottom) {
    display::DRAWBMP(board, 0, top, W, bottom - top, 0, top, W, bottom - top, display::TRANSPARENT);
    for (const Box& b : boxes) {
      const std::int64_t y0 = std::max<std::int64_t>(b.y, top), y1 = std::min<std::int64_t>(std::int64_t{b.y} + b.h, bottom);
      if (b.w > 0 && y0 < y1) display::BAR(b.x, static_cast<std::int32_t>(y0), b.w, static_cast<std::int32_t>(y1 - y0), b.colour);
    }
  });
  // The surface keeps the colours of its last BAR: the same as after a whole frame.
  display::BAR(boxes.back().x, boxes.back().y, 0, 0, boxes.back().colour);
  boxes_drawn.swap(boxes);
}

}  // namespace

void DRAWALL() {
  // The fade moves on first: nothing before it in a frame reads what it changes.
  fade_step();
  read_inputs(wanted_now);
  const bool kept = shown_changes == display::main_surface_changes();
  if (kept && wanted_now == shown) {
    // The same picture again, still in both surfaces: only record the presentation.
    display::ADDFPS();
    return;
  }
  display::sync_main_surface();
  if (kept && wanted_now.cells == shown.cells && wanted_now.fade == 0 && shown.fade == 0 &&
      display::PMAIN->WIDTH == W && display::PMAIN->HEIGHT == H)
    compose_boxes();
  else
    compose_frame();
  display::FRESHWIN();
  std::swap(shown, wanted_now);
  shown_changes = display::main_surface_changes();
}

}  // namespace tervalon
