// Surfaces and drawing: the defaults chain (0 = default, 1 = none), clipping,
// and the keyed, stretched and translucent copies built on the blit kernels.
#include "display/surface.h"

#include <algorithm>
#include <fstream>
#include <new>

#include "base/runtime_error.h"
#include "display/blit.h"

namespace display {

namespace {
BITMAP main_surface;    // PMAIN points here once a window opened: its address never changes
BITMAP window_surface;  // PMSCR likewise
std::uint32_t CFG = 0, CBG = 0;
void nothing() {}
void (*sync_window)() = nothing;
void (*present_window)() = nothing;

constexpr std::uint32_t rgb(std::uint32_t c) { return c & 0xFFFFFFu; }

// Gives `b` the size w x h, every pixel `colour`; stops the program when the
// memory cannot be had (a surface is never left half made).
void allocate(BITMAP& b, std::uint32_t w, std::uint32_t h, std::uint32_t colour) {
  std::size_t n = std::size_t{w} * h;
  try {
    b.pixels.assign(n, colour);
  } catch (const std::exception&) {
    base::runtime_error(203,
                        "display: out of memory for a " + std::to_string(w) + " x " + std::to_string(h) + " surface");
  }
  b.WIDTH = w;
  b.HEIGHT = h;
}

BITMAP& or_main(PBITMAP b) {
  sync_main_surface();
  return b ? *b : main_surface;
}

// The part [lo, lo + len) of [0, limit), as a start and an end; empty when none.
struct Span {
  std::int64_t begin, end;
};
Span clip(std::int64_t lo, std::int64_t len, std::int64_t limit) {
  return {std::clamp<std::int64_t>(lo, 0, limit), std::clamp<std::int64_t>(lo + len, 0, limit)};
}

void fill_rect(BITMAP& b, std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h, std::uint32_t colour) {
  Span cx = clip(x, w, b.WIDTH), cy = clip(y, h, b.HEIGHT);
  if (cx.begin >= cx.end) return;
  for (std::int64_t row = cy.begin; row < cy.end; ++row)
    std::fill_n(b.row(static_cast<std::uint32_t>(row)) + cx.begin, cx.end - cx.begin, colour);
}

std::uint64_t changes = 0;  // of the main and window surfaces
ChangedRows drawn;          // drawn_rows()
}  // namespace

void after_drawing(const BITMAP& b, bool present, std::uint32_t top, std::uint32_t bottom) {
  if (&b == &main_surface || &b == &window_surface) {
    ++changes;
    drawn.grow(b.HEIGHT);
    drawn.mark(top, std::min(bottom, b.HEIGHT));
  }
  if (&b == &window_surface && present) present_window();
}

std::uint64_t main_surface_changes() { return changes; }

const ChangedRows& drawn_rows() { return drawn; }
void forget_drawn_rows() { drawn.reset(drawn.size(), false); }

void attach_window(std::uint32_t CFG_, std::uint32_t CBG_, void (*sync)(), void (*present)()) {
  CFG = CFG_;
  CBG = CBG_;
  sync_window = sync;
  present_window = present;
}

PBITMAP PMAIN = nullptr;
PBITMAP PMSCR = nullptr;

void sync_main_surface() { sync_window(); }

void surfaces_resized() {
  ++changes;
  drawn.reset(drawn.size(), true);
}

void make_main_surface(std::uint32_t w, std::uint32_t h) {
  // The window shows its background where nothing was presented yet.
  allocate(window_surface, w, h, rgb(CBG));
  window_surface.COLOR = 0;
  PMSCR = &window_surface;
  allocate(main_surface, w, h, 0);
  main_surface.COLOR = 0;
  PMAIN = &main_surface;
  CLEAR(PMAIN, 0);
  main_surface.COLOR = TRANSPARENT;  // presented with the key 0x000001
}

PBITMAP CREATEBMP(PBITMAP B, std::uint32_t W, std::uint32_t H, std::uint32_t C) {
  const BITMAP& b = or_main(B);  // before the first window: 0 x 0 in colour 0, nothing to inherit
  if (W == 0) W = b.WIDTH;
  if (H == 0) H = b.HEIGHT;
  if (C == 0) C = b.COLOR;
  auto* made = new (std::nothrow) BITMAP;
  if (!made) {
    base::runtime_error(203, "display: out of memory for a surface record");
  }
  allocate(*made, W, H, 0);
  made->COLOR = C;
  CLEAR(made, C);
  return made;
}
PBITMAP CREATEBMP(PBITMAP B) { return CREATEBMP(B, 0, 0, 0); }
PBITMAP CREATEBMP(std::uint32_t W, std::uint32_t H, std::uint32_t C) { return CREATEBMP(nullptr, W, H, C); }
PBITMAP CREATEBMP() { return CREATEBMP(nullptr, 0, 0, 0); }

void RELEASEBMP(PBITMAP B) {
  if (!B || B == &main_surface || B == &window_surface) return;
  delete B;
}

void SETPENCOLOR(PBITMAP B, std::uint32_t C) {
  if (B) B->pen = C;
}
void SETBRUSHCOLOR(PBITMAP B, std::uint32_t C) {
  if (B) B->brush = C;
}

void BAR(PBITMAP B, std::int32_t X, std::int32_t Y, std::int32_t W, std::int32_t H, std::uint32_t CFG_,
         std::uint32_t CBG_) {
  BITMAP& b = or_main(B);
  if (CFG_ == 0) CFG_ = TRANSPARENT;
  if (CBG_ == 0) CBG_ = CFG;
  SETPENCOLOR(&b, CFG_);
  SETBRUSHCOLOR(&b, CBG_);
  if (W <= 0 || H <= 0) return;
  if (b.pen != TRANSPARENT) {
    std::uint32_t c = rgb(b.pen);
    fill_rect(b, X, Y, W, 1, c);
    fill_rect(b, X, std::int64_t{Y} + H - 1, W, 1, c);
    fill_rect(b, X, Y, 1, H, c);
    fill_rect(b, std::int64_t{X} + W - 1, Y, 1, H, c);
  }
  if (b.brush != TRANSPARENT) fill_rect(b, X, Y, W, H, rgb(b.brush));
  const Span rows = clip(Y, H, b.HEIGHT);
  after_drawing(b, true, static_cast<std::uint32_t>(rows.begin), static_cast<std::uint32_t>(rows.end));
}
void BAR(PBITMAP B, std::int32_t X, std::int32_t Y, std::int32_t W, std::int32_t H, std::uint32_t CBG_) {
  BAR(B, X, Y, W, H, 0, CBG_);
}
void BAR(std::int32_t X, std::int32_t Y, std::int32_t W, std::int32_t H, std::uint32_t CFG_, std::uint32_t CBG_) {
  BAR(nullptr, X, Y, W, H, CFG_, CBG_);
}
void BAR(std::int32_t X, std::int32_t Y, std::int32_t W, std::int32_t H, std::uint32_t CBG_) {
  BAR(nullptr, X, Y, W, H, 0, CBG_);
}

void CLEAR(PBITMAP B, std::uint32_t C) {
  BITMAP& b = or_main(B);
  if (C == 0) C = CBG;
  // Sizes beyond the signed range are filled in full all the same.
  auto w = static_cast<std::int32_t>(std::min<std::uint32_t>(b.WIDTH, INT32_MAX));
  auto h = static_cast<std::int32_t>(std::min<std::uint32_t>(b.HEIGHT, INT32_MAX));
  BAR(&b, 0, 0, w, h, 0, C);
}
void CLEAR(PBITMAP B) { CLEAR(B, 0); }
void CLEAR(std::uint32_t C) { CLEAR(nullptr, C); }
void CLEAR() { CLEAR(nullptr, 0); }

void DRAWBMP(PBITMAP BS, PBITMAP BD, std::uint32_t XS, std::uint32_t YS, std::uint32_t WS, std::uint32_t HS,
             std::uint32_t XD, std::uint32_t YD, std::uint32_t WD, std::uint32_t HD, std::uint32_t C) {
  BITMAP& src = or_main(BS);
  BITMAP& dst = or_main(BD);
  if (WS == 0) WS = src.WIDTH;
  if (HS == 0) HS = src.HEIGHT;
  if (WD == 0) WD = src.WIDTH;
  if (HD == 0) HD = src.HEIGHT;
  if (C == 0) C = src.COLOR;
  const std::uint8_t a = GETALPHA(C);
  const std::uint32_t key = rgb(C);
  // A source rectangle outside the source, or an empty one, copies nothing.
  if (WS == 0 || HS == 0 || WD == 0 || HD == 0 || a == 255) return;
  if (std::uint64_t{XS} + WS > src.WIDTH || std::uint64_t{YS} + HS > src.HEIGHT) return;
  if (WD > INT32_MAX || HD > INT32_MAX) return;
  // Destination coordinates are signed, as the window system takes them.
  const auto xd = static_cast<std::int32_t>(XD), yd = static_cast<std::int32_t>(YD);
  Span cx = clip(xd, WD, dst.WIDTH), cy = clip(yd, HD, dst.HEIGHT);
  if (cx.begin >= cx.end || cy.begin >= cy.end) return;

  // Copying a surface onto itself reads from a snapshot of the source part.
  BITMAP snapshot;
  const BITMAP* from = &src;
  if (&src == &dst) {
    snapshot = src;
    from = &snapshot;
  }
  const bool stretched = WS != WD || HS != HD;
  const auto n = static_cast<std::size_t>(cx.end - cx.begin);
  std::vector<std::uint32_t> line;
  if (stretched) line.resize(n);
  for (std::int64_t y = cy.begin; y < cy.end; ++y) {
    // Nearest source pixel: the one under the centre of the destination pixel.
    const std::uint64_t dy = static_cast<std::uint64_t>(y - yd);
    const auto sy = static_cast<std::uint32_t>(YS + (2 * dy + 1) * HS / (2 * std::uint64_t{HD}));
    const std::uint32_t* s;
    if (stretched) {
      for (std::size_t i = 0; i < n; ++i) {
        const std::uint64_t dx = static_cast<std::uint64_t>(cx.begin - xd) + i;
        line[i] = from->at(static_cast<std::uint32_t>(XS + (2 * dx + 1) * WS / (2 * std::uint64_t{WD})), sy);
      }
      s = line.data();
    } else {
      s = from->row(sy) + XS + (cx.begin - xd);
    }
    std::uint32_t* d = dst.row(static_cast<std::uint32_t>(y)) + cx.begin;
    if (a == 0)
      blit::copy_keyed(d, s, n, key);
    else
      blit::blend_keyed(d, s, n, key, a);
  }
  after_drawing(dst, true, static_cast<std::uint32_t>(cy.begin), static_cast<std::uint32_t>(cy.end));
}

bool clear_and_lay(PBITMAP B, PBITMAP S1, std::uint32_t C1, PBITMAP S2, std::uint32_t C2) {
  BITMAP& b = or_main(B);
  // CLEAR's colour: 0 is the window's background, and then BAR's 0 its foreground.
  const std::uint32_t fill = CBG ? CBG : CFG;
  auto fits = [&](PBITMAP s) { return !s || (s->WIDTH == b.WIDTH && s->HEIGHT == b.HEIGHT); };
  if (!S1 || S2 == &b || fill == TRANSPARENT || !fits(S1) || !fits(S2) || b.pixels.empty()) return false;
  SETPENCOLOR(&b, TRANSPARENT);  // as CLEAR leaves them
  SETBRUSHCOLOR(&b, fill);
  if (C1 == 0) C1 = S1->COLOR;
  if (S2 && C2 == 0) C2 = S2->COLOR;
  blit::overlay(b.pixels.data(), S1->pixels.data(), S2 ? S2->pixels.data() : nullptr, b.pixels.size(), rgb(fill),
                rgb(C1), GETALPHA(C1), rgb(C2), GETALPHA(C2));
  after_drawing(b);
  return true;
}

void DRAWBMP(PBITMAP BS, PBITMAP BD, std::uint32_t XD, std::uint32_t YD, std::uint32_t WD, std::uint32_t HD,
             std::uint32_t C) {
  DRAWBMP(BS, BD, 0, 0, 0, 0, XD, YD, WD, HD, C);
}
void DRAWBMP(PBITMAP BS, PBITMAP BD, std::uint32_t XD, std::uint32_t YD, std::uint32_t C) {
  DRAWBMP(BS, BD, 0, 0, 0, 0, XD, YD, 0, 0, C);
}
void DRAWBMP(PBITMAP BS, PBITMAP BD, std::uint32_t C) { DRAWBMP(BS, BD, 0, 0, 0, 0, 0, 0, 0, 0, C); }
void DRAWBMP(PBITMAP BS, PBITMAP BD) { DRAWBMP(BS, BD, 0, 0, 0, 0, 0, 0, 0, 0, 0); }
void DRAWBMP(PBITMAP BS, std::uint32_t XS, std::uint32_t YS, std::uint32_t WS, std::uint32_t HS, std::uint32_t XD,
             std::uint32_t YD, std::uint32_t WD, std::uint32_t HD, std::uint32_t C) {
  DRAWBMP(BS, nullptr, XS, YS, WS, HS, XD, YD, WD, HD, C);
}
void DRAWBMP(PBITMAP BS, std::uint32_t XD, std::uint32_t YD, std::uint32_t WD, std::uint32_t HD, std::uint32_t C) {
  DRAWBMP(BS, nullptr, 0, 0, 0, 0, XD, YD, WD, HD, C);
}
void DRAWBMP(PBITMAP BS, std::uint32_t XD, std::uint32_t YD, std::uint32_t C) {
  DRAWBMP(BS, nullptr, 0, 0, 0, 0, XD, YD, 0, 0, C);
}
void DRAWBMP(PBITMAP BS, std::uint32_t XD, std::uint32_t YD) { DRAWBMP(BS, nullptr, 0, 0, 0, 0, XD, YD, 0, 0, 0); }
void DRAWBMP(PBITMAP BS, std::uint32_t C) { DRAWBMP(BS, nullptr, 0, 0, 0, 0, 0, 0, 0, 0, C); }

std::vector<std::uint8_t> read_ppm(const std::string& path, int* width) {
  std::ifstream f(path, std::ios::binary);
  std::string magic;
  int w = 0, h = 0, max = 0;
  f >> magic >> w >> h >> max;
  f.get();
  std::vector<std::uint8_t> p(static_cast<std::size_t>(w > 0 ? w : 0) * (h > 0 ? h : 0) * 3);
  f.read(reinterpret_cast<char*>(p.data()), static_cast<std::streamsize>(p.size()));
  if (magic != "P6" || max != 255 || !f) p.clear();
  if (width) *width = w;
  return p;
}

}  // namespace display
