// Drawing a frame: the board, the ghosts, markers and player, the story-text
// overlay, and the whole composition presented in the window. Game thread.
// Drawing reads the game and never changes it.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "display/surface.h"
#include "game/rules/state.h"

namespace tervalon {

// The colours of the ghosts and the markers. `standard` is the game's own,
// blue and yellow shades a player with some colour blindness may not tell
// apart; `colourblind` keeps warm shades for one pass and cool ones for the
// other, like the standard, but from hues that stay apart for red-green and
// blue-yellow colour blindness, each marker set off from the ghosts in
// lightness as well as hue. Only the window's picture uses it: recordings
// hold keys, and pictures that are compared are drawn with `standard`.
enum class Palette : std::uint8_t { standard, colourblind };

// The size of the text of menus, notes and the guide. `large` draws it
// larger and wraps a long line rather than shrink it.
enum class TextSize : std::uint8_t { normal, large };

// What drawing keeps between frames: the work surfaces and tiles that
// INITWIN makes, and what was drawn last, so that a frame that changed
// nothing, or only boxes, is not drawn again whole. One per window.
struct View {
  View();
  ~View();

  display::PBITMAP PTEMP = nullptr;          // snapshot of the frame under the overlay
  display::PBITMAP PTEXT = nullptr;          // the story text page
  Array<display::PBITMAP, 0, 5> PBD;         // one 20 x 20 tile per cell value
  std::uint32_t CURTEXTX = 0, CURTEXTY = 0;  // where the story line drawn last starts
  // Menus and notes (menu.h) are drawn here, then copied over the frame.
  display::PBITMAP menu_page = nullptr;
  Palette palette = Palette::standard;
  TextSize text = TextSize::normal;

  struct Kept;
  std::unique_ptr<Kept> kept;
};

// Tile BDK at cell (BDX, BDY) of the main surface.
void DRAWBD(const View& v, std::int32_t BDX, std::int32_t BDY, std::int32_t BDK);
// Every cell of the current level, column by column.
void DRAWBDALL(const Game& g, View& v);
// The player-sized box of trail point STPC, darkened by COLORC (0..128).
void DRAWRECT(const Game& g, std::uint32_t STPC, std::uint32_t COLORC);
// Ghosts, the entry, exit and end markers, and the player on top.
void DRAWRECTALL(const Game& g, View& v);
// The colour of the guide's mark over the entry, in `p`.
std::uint32_t entry_mark_colour(const Game& g, Palette p);
// The layout width of a story line: its character cells times the font width.
std::uint32_t GETSTRWIDTH(const Game& g, std::string_view S);
// The fade bookkeeping, then the overlay: the frame faded towards white and the
// text page laid over it.
void DRAWPAUSE(Game& g, View& v);
// The picture of the game as it is now, presented: CLEAR, DRAWBDALL,
// DRAWRECTALL, the overlay, FRESHWIN. The fade has moved on before (frame_pass).
void DRAWALL(const Game& g, View& v);
// The picture DRAWALL would present now, left in the main surface.
void compose_frame(const Game& g, View& v);

}  // namespace tervalon
