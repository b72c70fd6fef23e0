// Menus and notes over the composed picture. One layout, made from the
// board's size and the menu's text alone, places everything for drawing and
// for hit-testing alike. Drawing goes into a page of the board's size that is
// then copied over the main surface, so nothing reaches past the picture.
#include "game/view/menu.h"

#include <algorithm>
#include <array>
#include <optional>
#include <utility>

#include "base/utf8.h"
#include "display/surface.h"
#include "display/text.h"
#include "display/window.h"

namespace tervalon {

namespace {

constexpr std::string_view FACE = "\xE9\xBB\x91\xE4\xBD\x93";  // 黑体, the story's face: it draws Latin too
constexpr std::string_view ITEM_GAP = "\xE3\x80\x80";          // an ideographic space, between zh and en
constexpr std::string_view ELLIPSIS = "\xE2\x80\xA6";          // where a line was cut

// Text cell heights: a twentieth of the board's height, within these.
constexpr std::uint32_t MIN_SIZE = 6, MAX_SIZE = 64;

// Colours (0x00BBGGRR) chosen to read over a board darkened to 40 %, and
// over an opaque menu's panel.
constexpr std::uint32_t TITLE_COLOUR = 0x5AD2FF, LINE_COLOUR = 0xE6E6E6, ITEM_COLOUR = 0xFFFFFF, BAR_COLOUR = 0x3CC8F5,
                        ON_BAR_COLOUR = 0x202020, NOTE_COLOUR = 0xFFFFFF, OPAQUE_PANEL_COLOUR = 0x302418;
// How much of the picture's light stays, in 256ths: under a menu about 40 %,
// and half that behind its text; under a note's band a quarter.
constexpr std::uint32_t MENU_KEEP = 102, PANEL_KEEP = 128, NOTE_KEEP = 64;

// One line of text as it is drawn.
struct Text {
  std::string text;  // UTF-8, already cut to fit
  std::int64_t x = 0, y = 0;
  std::uint32_t size = 0;  // cell height
  std::uint32_t colour = 0;
  bool bold = false;
  std::optional<std::size_t> item;  // the item it shows
};

// An item's row: where its highlight bar goes and where it is hit.
struct Bar {
  std::int64_t x, y, w, h;
  std::size_t item;
};

struct Rect {
  std::int64_t x = 0, y = 0, w = 0, h = 0;
};

struct Layout {
  std::vector<Text> texts;
  std::vector<Bar> bars;
  Rect panel;  // darkened further, behind all of it
};

// Fonts are made with lower-case letters averaging half their height, as the
// story's are.
std::uint32_t cell_width(std::uint32_t size) { return std::max<std::uint32_t>(size / 2, 1); }

// Advances in the CJK face of the printable ASCII characters, ' ' to '~', in
// hundredths of the font's cell width, as the face draws them at a cell of
// 100 pixels. Outside ASCII it draws nearly everything (and all ideographs)
// full width, and text is measured that way, erring wide.
constexpr std::array<std::uint8_t, 95> ASCII_ADVANCE = {
    50,  75,  75,  150, 112, 162, 138, 50,  62,  62,  88,  150, 50,  62,  50,  62,  112, 112, 112,
    112, 112, 112, 112, 112, 112, 112, 62,  62,  150, 150, 150, 88,  175, 125, 125, 125, 138, 112,
    100, 138, 138, 50,  62,  125, 100, 150, 125, 138, 100, 138, 125, 112, 125, 125, 125, 175, 125,
    125, 125, 62,  62,  62,  150, 112, 88,  112, 112, 100, 112, 112, 75,  112, 112, 50,  62,  112,
    50,  175, 112, 112, 112, 112, 75,  88,  75,  112, 100, 138, 100, 100, 88,  112, 62,  112, 150,
};
constexpr std::int64_t FULL_ADVANCE = 212;

std::int64_t advance(std::string_view utf8_char) {
  const auto c = static_cast<unsigned char>(utf8_char[0]);
  return utf8_char.size() == 1 && c >= ' ' && c <= '~' ? ASCII_ADVANCE[static_cast<std::size_t>(c - ' ')]
                                                       : FULL_ADVANCE;
}

// Calls f(width so far, end of the character) for each character of `utf8`
// at text size `size`, until f says no. Each advance is rounded up, as the
// hinted face rounds it to whole pixels, here always the wider way.
template <typename F>
void each_char(std::string_view utf8, std::uint32_t size, F f) {
  const std::int64_t cell = cell_width(size);
  std::int64_t width = 0;
  char32_t c = 0;
  for (std::size_t at = 0, next = 0; at < utf8.size(); at = next) {
    if (!base::next_utf8(utf8, next, c)) next = at + 1;  // not reached: the text is made UTF-8 first
    width += (advance(utf8.substr(at, next - at)) * cell + 99) / 100;
    if (!f(width, next)) return;
  }
}

// The width of `utf8` at text size `size`.
std::int64_t width_of(std::string_view utf8, std::uint32_t size) {
  std::int64_t width = 0;
  each_char(utf8, size, [&](std::int64_t w, std::size_t) {
    width = w;
    return true;
  });
  return width;
}

// `utf8` cut to at most `room` pixels at `size`, an ellipsis marking the cut.
std::string fit_width(std::string utf8, std::uint32_t size, std::int64_t room) {
  if (width_of(utf8, size) <= room) return utf8;
  const std::int64_t ellipsis = width_of(ELLIPSIS, size);
  if (room < ellipsis) return {};
  std::size_t kept = 0;
  each_char(utf8, size, [&](std::int64_t w, std::size_t end) {
    if (w + ellipsis > room) return false;
    kept = end;
    return true;
  });
  utf8.resize(kept);
  return utf8 += ELLIPSIS;
}

std::uint32_t preferred_size(std::uint32_t H) { return std::clamp(H / 20, MIN_SIZE, MAX_SIZE); }

// Text sizes on a board H pixels high: the largest, and the least that a
// menu's text shrinks to for its height before rows are cut instead. Large
// text is half as large again and shrinks no further than normal text's
// largest; it wraps instead of shrinking for its width.
struct Sizes {
  std::uint32_t largest, readable;
};
Sizes sizes(std::uint32_t H, TextSize text) {
  const std::uint32_t normal = preferred_size(H);
  if (text == TextSize::large)
    return {static_cast<std::uint32_t>(std::clamp<std::uint64_t>(std::uint64_t{H} * 3 / 40, MIN_SIZE, MAX_SIZE)),
            normal};
  return {normal, std::clamp(H / 32, MIN_SIZE, normal)};
}

// `utf8` in rows of at most `room` pixels at `size`, broken at a space (which
// goes) or beside a wide character, or inside a word wider than a row; at
// least one row.
std::vector<std::string> wrapped(std::string_view utf8, std::uint32_t size, std::int64_t room) {
  std::vector<std::string> rows;
  const std::int64_t cell = cell_width(size);
  auto skip_spaces = [&] {
    while (!utf8.empty() && utf8.front() == ' ') utf8.remove_prefix(1);
  };
  while (rows.empty() || !utf8.empty()) {
    if (width_of(utf8, size) <= room) {
      rows.emplace_back(utf8);
      break;
    }
    // The last break that fits: where the row ends, and where the next begins.
    std::size_t cut = 0, resume = 0, fitting = 0;
    std::int64_t width = 0;
    bool after_wide = false;
    char32_t c = 0;
    for (std::size_t at = 0, next = 0; at < utf8.size(); at = next) {
      if (!base::next_utf8(utf8, next, c)) next = at + 1;
      const std::string_view ch = utf8.substr(at, next - at);
      const bool space = ch == " " || ch == ITEM_GAP, wide = ch.size() > 1 && !space;
      if (at > 0 && (space || wide || after_wide)) cut = at, resume = space ? next : at;
      width += (advance(ch) * cell + 99) / 100;
      if (width > room) break;
      fitting = next;
      after_wide = wide;
    }
    if (cut == 0) {
      // No break: as much of the word as fits, at least one character.
      std::size_t one = 0;
      if (!base::next_utf8(utf8, one, c)) one = 1;
      cut = resume = std::max(fitting, one);
    }
    std::string_view row = utf8.substr(0, cut);
    while (!row.empty() && row.back() == ' ') row.remove_suffix(1);
    rows.emplace_back(row);
    utf8.remove_prefix(resume);
    skip_spaces();
  }
  return rows;
}

// Vertical measures at body text size s: the title is half as large again.
struct Measures {
  std::int64_t s, title, line_h, item_h, gap, margin_x, margin_y;
  explicit Measures(std::uint32_t size)
      : s(size),
        title(size * 3 / 2),
        line_h(size + size / 4),
        item_h(size + size / 2),
        gap(size / 2),
        margin_x(size / 2),
        margin_y(size / 3) {}
  // The height of a title of `nt` rows, `nl` rows of lines and `ni` items
  // that take `more` rows beyond one each.
  std::int64_t height(std::size_t nt, std::size_t nl, std::size_t ni, std::size_t more = 0) const {
    const auto t = static_cast<std::int64_t>(nt), l = static_cast<std::int64_t>(nl), i = static_cast<std::int64_t>(ni);
    return t * title + (t > 0 && l + i > 0 ? gap : 0) + l * line_h + (l > 0 && i > 0 ? gap : 0) + i * item_h +
           static_cast<std::int64_t>(more) * line_h;
  }
};

std::string item_text(const MenuItem& item) {
  const std::string zh = display::to_utf8(item.zh), en = display::to_utf8(item.en);
  if (zh.empty() || en.empty()) return zh + en;
  return zh + std::string(ITEM_GAP) + en;
}

Layout lay_out(std::uint32_t W, std::uint32_t H, const Menu& m, TextSize text) {
  Layout out;
  if (W == 0 || H == 0) return out;
  std::vector<std::string> title, lines, items;
  for (const std::string* t : {&m.title_zh, &m.title_en})
    if (!t->empty()) title.push_back(display::to_utf8(*t));
  for (const std::string& line : m.lines) lines.push_back(display::to_utf8(line));
  for (const MenuItem& item : m.items) items.push_back(item_text(item));
  auto widest = [&](const Measures& k) {
    std::int64_t w = 0;
    for (const std::string& t : title) w = std::max(w, width_of(t, static_cast<std::uint32_t>(k.title)));
    for (const std::string& t : lines) w = std::max(w, width_of(t, static_cast<std::uint32_t>(k.s)));
    for (const std::string& t : items) w = std::max(w, width_of(t, static_cast<std::uint32_t>(k.s)) + k.s);
    return w;
  };
  // Each text as rows: wrapped in large text, else one row, cut when drawn.
  const bool wrap = text == TextSize::large;
  struct Rows {
    std::vector<std::vector<std::string>> title, lines, items;
  };
  auto rows_at = [&](const Measures& k) {
    const std::int64_t room = W - 2 * k.margin_x;
    auto rows_of = [&](const std::vector<std::string>& texts, std::int64_t size, std::int64_t width) {
      std::vector<std::vector<std::string>> rows;
      rows.reserve(texts.size());
      for (const std::string& t : texts)
        rows.push_back(wrap ? wrapped(t, static_cast<std::uint32_t>(size), width) : std::vector<std::string>{t});
      return rows;
    };
    return Rows{rows_of(title, k.title, room), rows_of(lines, k.s, room), rows_of(items, k.s, room - k.s)};
  };
  auto count = [](const std::vector<std::vector<std::string>>& rows, std::size_t from, std::size_t n) {
    std::size_t c = 0;
    for (std::size_t i = from; i < from + n; ++i) c += rows[i].size();
    return c;
  };
  // The first of `ni` items shown: the selected one in the middle when not all are.
  auto first_of = [&](std::size_t ni) -> std::size_t {
    if (ni >= items.size()) return 0;
    const std::size_t selected = std::min(m.selected, items.size() - 1);
    return std::min(selected - std::min(selected, (ni - 1) / 2), items.size() - ni);
  };
  auto height = [&](const Measures& k, const Rows& r, std::size_t nt, std::size_t nl, std::size_t ni) {
    const std::size_t first = first_of(ni);
    return k.height(count(r.title, 0, nt), count(r.lines, 0, nl), ni, count(r.items, first, ni) - ni);
  };

  // The largest text that fits across (in large text, by wrapping), and
  // down too unless that takes it below a readable size for the board:
  // beyond that, rows are cut instead.
  const auto [largest, readable] = sizes(H, text);
  std::uint32_t size = largest;
  for (; size > MIN_SIZE; --size) {
    const Measures k(size);
    if (!wrap && widest(k) > W - 2 * k.margin_x) continue;
    if (size <= readable || height(k, rows_at(k), title.size(), lines.size(), items.size()) <= H - 2 * k.margin_y)
      break;
  }
  const Measures k(size);
  const std::int64_t room_w = W - 2 * k.margin_x, room_h = H - 2 * k.margin_y;
  Rows rows = rows_at(k);

  // Rows that do not fit go: items far from the selected one (down to three),
  // then lines from the end, then the title, then items down to one.
  std::size_t nt = title.size(), nl = lines.size(), ni = items.size();
  auto fits = [&] { return height(k, rows, nt, nl, ni) <= room_h; };
  while (!fits() && ni > std::min<std::size_t>(items.size(), 3)) --ni;
  while (!fits() && nl > 0) --nl;
  while (!fits() && nt > 0) --nt;
  while (!fits() && ni > 1) --ni;
  const std::size_t first = first_of(ni);

  auto centred = [&](std::int64_t width) { return (std::int64_t{W} - width) / 2; };
  std::int64_t y = std::max(k.margin_y, (std::int64_t{H} - height(k, rows, nt, nl, ni)) / 2);
  const auto title_size = static_cast<std::uint32_t>(k.title);
  for (std::size_t i = 0; i < nt; ++i)
    for (std::string& row : rows.title[i]) {
      std::string t = fit_width(std::move(row), title_size, room_w);
      const std::int64_t x = centred(width_of(t, title_size));
      out.texts.push_back({std::move(t), x, y, title_size, TITLE_COLOUR, true, std::nullopt});
      y += k.title;
    }
  if (nt > 0 && nl + ni > 0) y += k.gap;
  for (std::size_t i = 0; i < nl; ++i)
    for (std::string& row : rows.lines[i]) {
      std::string t = fit_width(std::move(row), size, room_w);
      const std::int64_t x = centred(width_of(t, size));
      out.texts.push_back({std::move(t), x, y, size, LINE_COLOUR, false, std::nullopt});
      y += k.line_h;
    }
  if (nl > 0 && ni > 0) y += k.gap;
  // One bar width for every item, so that the list reads as a column.
  std::int64_t bar_w = 0;
  for (std::size_t i = first; i < first + ni; ++i)
    for (const std::string& row : rows.items[i]) bar_w = std::max(bar_w, width_of(row, size) + k.s);
  bar_w = std::min(bar_w, room_w);
  for (std::size_t i = first; i < first + ni; ++i) {
    const std::int64_t top = y;
    for (std::string& row : rows.items[i]) {
      std::string t = fit_width(std::move(row), size, bar_w - k.s);
      const std::int64_t x = centred(width_of(t, size));
      out.texts.push_back({std::move(t), x, y + (k.item_h - k.s) / 2, size, ITEM_COLOUR, false, i});
      y += k.line_h;
    }
    y = top + k.item_h + static_cast<std::int64_t>(rows.items[i].size() - 1) * k.line_h;
    out.bars.push_back({centred(bar_w), top, bar_w, y - top, i});
  }
  if (!out.texts.empty()) {
    std::int64_t left = W, right = 0;
    for (const Text& t : out.texts) {
      left = std::min(left, t.x);
      right = std::max(right, t.x + width_of(t.text, t.size));
    }
    for (const Bar& b : out.bars) {
      left = std::min(left, b.x);
      right = std::max(right, b.x + b.w);
    }
    const std::int64_t panel_top = std::max<std::int64_t>(out.texts.front().y - k.gap, 0);
    left = std::max<std::int64_t>(left - k.s, 0);
    right = std::min<std::int64_t>(right + k.s, W);
    out.panel = {left, panel_top, right - left, std::min<std::int64_t>(y + k.gap, H) - panel_top};
  }
  return out;
}

// The font settings as the rest of the game left them, put back on leaving:
// the story page and anything else that draws text draws as before.
class FontSettingsKept {
 public:
  FontSettingsKept() = default;
  FontSettingsKept(const FontSettingsKept&) = delete;
  FontSettingsKept& operator=(const FontSettingsKept&) = delete;
  ~FontSettingsKept() {
    display::FH = FH;
    display::FW = FW;
    display::FWG = FWG;
    display::FLT = FLT;
    display::FUD = FUD;
    display::FSK = FSK;
    display::FCS = FCS;
    display::FFN = std::move(FFN);
    display::STRZ = STRZ;
    display::FX = FX;
    display::FY = FY;
  }

 private:
  std::uint32_t FH = display::FH, FW = display::FW, FWG = display::FWG, FLT = display::FLT, FUD = display::FUD,
                FSK = display::FSK, FCS = display::FCS;
  std::string FFN = display::FFN;
  display::SIZE STRZ = display::STRZ;
  std::uint32_t FX = display::FX, FY = display::FY;
};

void draw_text(display::PBITMAP page, const Text& t, std::uint32_t colour) {
  if (t.text.empty()) return;
  display::FFN = FACE;
  display::FW = cell_width(t.size);
  display::FH = t.size;
  display::FWG = t.bold ? 700 : 0;
  display::FLT = display::FUD = display::FSK = 0;
  display::SETFONT(page);
  // Text positions travel as the bits of a signed value.
  display::DRAWTEXTXY(page, t.text, static_cast<std::uint32_t>(static_cast<std::int32_t>(t.x)),
                      static_cast<std::uint32_t>(static_cast<std::int32_t>(t.y)), colour);
}

// Each channel of p times keep / 256, rounded; two channels at a time.
constexpr std::uint32_t darkened(std::uint32_t p, std::uint32_t keep) {
  const std::uint32_t red_blue = (((p & 0xFF00FFu) * keep + 0x800080u) >> 8) & 0xFF00FFu;
  const std::uint32_t green = (((p & 0x00FF00u) * keep + 0x008000u) >> 8) & 0x00FF00u;
  return red_blue | green;
}

// Pixels from..from + n darkened into to..to + n; never 0x000001.
void darken(const std::uint32_t* from, std::uint32_t* to, std::int64_t n, std::uint32_t keep) {
  for (std::int64_t x = 0; x < n; ++x) {
    const std::uint32_t p = darkened(from[x], keep);
    to[x] = p == display::TRANSPARENT ? 0 : p;
  }
}

// The view's page at the board's size, rows top..bottom - 1 holding the
// picture in the main surface darkened to keep / 256, and to panel_keep /
// 256 of that inside `panel`; null when there is no picture to draw over.
display::PBITMAP page_over_picture(const Game& g, View& v, std::uint32_t top, std::uint32_t bottom, std::uint32_t keep,
                                   const Rect& panel = {}, std::uint32_t panel_keep = 256) {
  display::sync_main_surface();
  const display::PBITMAP main = display::PMAIN;
  if (!main || g.W == 0 || g.H == 0) return nullptr;
  display::PBITMAP& page = v.menu_page;
  if (!page || page->WIDTH != g.W || page->HEIGHT != g.H) {
    display::RELEASEBMP(page);
    page = display::CREATEBMP(g.W, g.H, display::BLACK);
  }
  const std::uint32_t w = std::min(g.W, main->WIDTH), end = std::min(bottom, main->HEIGHT);
  for (std::uint32_t y = top; y < end; ++y) {
    const std::uint32_t* from = main->row(y);
    std::uint32_t* to = page->row(y);
    std::int64_t x0 = w, x1 = w;  // the panel's part of the row
    if (y >= panel.y && y < panel.y + panel.h) {
      x0 = std::clamp<std::int64_t>(panel.x, 0, w);
      x1 = std::clamp<std::int64_t>(panel.x + panel.w, x0, w);
    }
    darken(from, to, x0, keep);
    darken(from + x0, to + x0, x1 - x0, keep * panel_keep / 256);
    darken(from + x1, to + x1, w - x1, keep);
  }
  return page;
}

// Rows top..bottom - 1 of the page over the main surface.
void lay_page_over(display::PBITMAP page, std::uint32_t top, std::uint32_t bottom) {
  display::DRAWBMP(page, nullptr, 0, top, page->WIDTH, bottom - top, 0, top, page->WIDTH, bottom - top,
                   display::TRANSPARENT);
}

}  // namespace

void draw_menu(const Game& g, View& v, const Menu& m) {
  const Layout layout = lay_out(g.W, g.H, m, v.text);
  const display::PBITMAP page = page_over_picture(g, v, 0, g.H, MENU_KEEP, layout.panel, PANEL_KEEP);
  if (!page) return;
  {
    const Rect& p = layout.panel;
    if (m.opaque && p.w > 0 && p.h > 0)
      display::BAR(page, static_cast<std::int32_t>(p.x), static_cast<std::int32_t>(p.y), static_cast<std::int32_t>(p.w),
                   static_cast<std::int32_t>(p.h), OPAQUE_PANEL_COLOUR);
    const FontSettingsKept kept;
    for (const Bar& b : layout.bars)
      if (b.item == m.selected)
        display::BAR(page, static_cast<std::int32_t>(b.x), static_cast<std::int32_t>(b.y),
                     static_cast<std::int32_t>(b.w), static_cast<std::int32_t>(b.h), BAR_COLOUR);
    for (const Text& t : layout.texts) draw_text(page, t, t.item == m.selected ? ON_BAR_COLOUR : t.colour);
  }
  lay_page_over(page, 0, g.H);
}

int menu_item_at(const Game& g, const Menu& m, std::int32_t x, std::int32_t y, TextSize text) {
  if (x < 0 || y < 0 || static_cast<std::uint32_t>(x) >= g.W || static_cast<std::uint32_t>(y) >= g.H) return -1;
  for (const Bar& b : lay_out(g.W, g.H, m, text).bars)
    if (x >= b.x && x < b.x + b.w && y >= b.y && y < b.y + b.h) return static_cast<int>(b.item);
  return -1;
}

void draw_note(const Game& g, View& v, std::string_view line, bool at_top) {
  const std::string text = display::to_utf8(line);
  const auto [largest, readable] = sizes(g.H, v.text);
  auto room = [&](std::uint32_t size) { return std::int64_t{g.W} - 2 * Measures(size).margin_x; };
  std::uint32_t size = largest;
  std::vector<std::string> rows;
  if (v.text == TextSize::large) {
    // The largest size at which the note takes two rows at most, but no
    // smaller than readable: then it takes more.
    for (;; --size) {
      rows = wrapped(text, size, room(size));
      if (rows.size() <= 2 || size <= readable) break;
    }
  } else {
    while (size > MIN_SIZE && width_of(text, size) > room(size)) --size;
    rows = {text};
  }
  const Measures k(size);
  // Rows past the picture's height go.
  while (rows.size() > 1 && k.item_h + static_cast<std::int64_t>(rows.size() - 1) * k.line_h > g.H) rows.pop_back();
  const auto band = static_cast<std::uint32_t>(
      std::min<std::int64_t>(g.H, k.item_h + static_cast<std::int64_t>(rows.size() - 1) * k.line_h));
  const std::uint32_t top = at_top ? 0 : g.H - band;
  const display::PBITMAP page = page_over_picture(g, v, top, top + band, NOTE_KEEP);
  if (!page) return;
  {
    const FontSettingsKept kept;
    std::int64_t y = top + (std::min<std::int64_t>(band, k.item_h) - k.s) / 2;
    for (std::string& row : rows) {
      Text t{fit_width(std::move(row), size, room(size)), 0, y, size, NOTE_COLOUR, false, std::nullopt};
      t.x = (std::int64_t{g.W} - width_of(t.text, size)) / 2;
      draw_text(page, t, t.colour);
      y += k.line_h;
    }
  }
  lay_page_over(page, top, top + band);
}

std::int64_t menu_text_width(std::string_view utf8, std::uint32_t size) { return width_of(utf8, size); }

}  // namespace tervalon
