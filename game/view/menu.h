// Menus and short notes drawn over the composed picture: the start menu, the
// pause picture, the practice list, the ending, "New best" notes. Drawn at the
// board's size into the main surface only, after composition, so that the
// rules' pictures never hold them. Game thread, except where said.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "game/rules/state.h"
#include "game/view/draw.h"

namespace tervalon {

struct MenuItem {
  std::string zh, en;  // the item in both languages, UTF-8
};

struct Menu {
  std::string title_zh, title_en;  // e.g. "暂停" / "Paused"; both empty: no title
  std::vector<std::string> lines;  // lines of text under the title, UTF-8, drawn as given
  std::vector<MenuItem> items;     // none: a picture that any key leaves
  std::size_t selected = 0;        // the highlighted item; past the last: none
  bool opaque = false;             // a solid panel behind the text: nothing of the picture shows through it
};

// Draws `m` over the picture now in the main surface (the caller has just
// composed the frame): the picture dimmed, then the title, the lines and the
// items, the selected one on a highlight bar; the caller presents it. All of it
// stays inside g.W x g.H: the text shrinks to fit (in v.text large, long
// text wraps instead, down to the normal text's size), and what still does
// not fit is cut (lines from the end, then the title, and a long item list
// shows the part around the selected item). Font settings are left as they
// were.
void draw_menu(const Game& g, View& v, const Menu& m);

// The item whose row holds picture pixel (x, y) as draw_menu lays `m` out in
// text size `text`, or -1. Pure; any thread.
int menu_item_at(const Game& g, const Menu& m, std::int32_t x, std::int32_t y, TextSize text = TextSize::normal);

// Draws one short line (UTF-8) over the bottom (or the top) of the picture
// now in the main surface, on a dark band, the rest of the picture as it
// was; the caller presents it. In v.text large a line too long for the band
// wraps onto more rows.
void draw_note(const Game& g, View& v, std::string_view line, bool at_top = false);

// The width menus and notes give `utf8` at text size `size`: each character
// as wide as the face draws it at a cell of 100 pixels, rounded up at the
// others. Pure; any thread.
std::int64_t menu_text_width(std::string_view utf8, std::uint32_t size);

}  // namespace tervalon
