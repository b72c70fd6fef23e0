// Off-screen surfaces: making and releasing them, filling rectangles, and the
// keyed, stretched and translucent copies between them (DRAWBMP).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "display/changed_rows.h"
#include "display/colours.h"

namespace display {

struct Font;

// A surface: WIDTH x HEIGHT pixels, row by row, one 0x00BBGGRR value each (the
// top byte is always 0), plus what is selected into it for drawing.
struct BITMAP {
  std::uint32_t WIDTH = 0;
  std::uint32_t HEIGHT = 0;
  // The surface's own colour: painted when it was made, and its colour key and
  // transparency amount when it is drawn with colour 0.
  std::uint32_t COLOR = 0;
  std::vector<std::uint32_t> pixels;
  std::uint32_t pen = TRANSPARENT;    // outline colour chosen by SETPENCOLOR
  std::uint32_t brush = TRANSPARENT;  // fill colour chosen by SETBRUSHCOLOR
  const Font* font = nullptr;         // chosen by SETFONT; null: the default font

  std::uint32_t* row(std::uint32_t y) { return pixels.data() + std::size_t{y} * WIDTH; }
  const std::uint32_t* row(std::uint32_t y) const { return pixels.data() + std::size_t{y} * WIDTH; }
  std::uint32_t& at(std::uint32_t x, std::uint32_t y) { return row(y)[x]; }
  std::uint32_t at(std::uint32_t x, std::uint32_t y) const { return row(y)[x]; }
};
using PBITMAP = BITMAP*;

// The main surface (the back buffer of client size), null until the first
// window opens. A nil surface argument below means this one. Game thread.
extern PBITMAP PMAIN;
// The window surface: the picture the window shows, as the last presentation
// left it. Null until the first window opens. Game thread.
extern PBITMAP PMSCR;

// A new surface: size and colour default (0) to those of B, or of the main
// surface when B is nil; it is painted with its colour (1 leaves it black).
// Stops the program with a clear message when memory runs out. Game thread.
PBITMAP CREATEBMP(PBITMAP B, std::uint32_t W, std::uint32_t H, std::uint32_t C);
PBITMAP CREATEBMP(PBITMAP B);
PBITMAP CREATEBMP(std::uint32_t W, std::uint32_t H, std::uint32_t C = 0);
PBITMAP CREATEBMP();
// Gives back a surface made by CREATEBMP; nil, the main surface and the window
// surface are left alone. Game thread.
void RELEASEBMP(PBITMAP B);

// Chooses the outline (pen) or fill (brush) colour of B; 1 means none. Game thread.
void SETPENCOLOR(PBITMAP B, std::uint32_t C);
void SETBRUSHCOLOR(PBITMAP B, std::uint32_t C);
// The transparency amount (top byte) of a colour. Any thread.
constexpr std::uint8_t GETALPHA(std::uint32_t C) { return static_cast<std::uint8_t>(C >> 24); }

// Rectangle X, Y, W, H (right and bottom exclusive): a one-pixel outline in CFG
// (0 = none), then a fill in CBG (0 = the window's foreground colour); 1 = none.
// Game thread.
void BAR(PBITMAP B, std::int32_t X, std::int32_t Y, std::int32_t W, std::int32_t H, std::uint32_t CFG,
         std::uint32_t CBG);
void BAR(PBITMAP B, std::int32_t X, std::int32_t Y, std::int32_t W, std::int32_t H, std::uint32_t CBG);
void BAR(std::int32_t X, std::int32_t Y, std::int32_t W, std::int32_t H, std::uint32_t CFG, std::uint32_t CBG);
void BAR(std::int32_t X, std::int32_t Y, std::int32_t W, std::int32_t H, std::uint32_t CBG);

// Fills the whole surface with C (0 = the window's background colour). Game thread.
void CLEAR(PBITMAP B, std::uint32_t C);
void CLEAR(PBITMAP B);
void CLEAR(std::uint32_t C);
void CLEAR();

// Copies the source rectangle XS, YS, WS, HS of BS onto the destination
// rectangle XD, YD, WD, HD of BD, stretched by nearest pixel. Zero sizes mean
// the source surface's size; colour 0 means BS's own COLOR. The colour's low
// 24 bits are a key (source pixels of exactly that colour are left out), its
// top byte a transparency amount (0 opaque .. 255 invisible). Game thread.
void DRAWBMP(PBITMAP BS, PBITMAP BD, std::uint32_t XS, std::uint32_t YS, std::uint32_t WS, std::uint32_t HS,
             std::uint32_t XD, std::uint32_t YD, std::uint32_t WD, std::uint32_t HD, std::uint32_t C);
void DRAWBMP(PBITMAP BS, PBITMAP BD, std::uint32_t XD, std::uint32_t YD, std::uint32_t WD, std::uint32_t HD,
             std::uint32_t C);
void DRAWBMP(PBITMAP BS, PBITMAP BD, std::uint32_t XD, std::uint32_t YD, std::uint32_t C);
void DRAWBMP(PBITMAP BS, PBITMAP BD, std::uint32_t C);
void DRAWBMP(PBITMAP BS, PBITMAP BD);
void DRAWBMP(PBITMAP BS, std::uint32_t XS, std::uint32_t YS, std::uint32_t WS, std::uint32_t HS, std::uint32_t XD,
             std::uint32_t YD, std::uint32_t WD, std::uint32_t HD, std::uint32_t C);
void DRAWBMP(PBITMAP BS, std::uint32_t XD, std::uint32_t YD, std::uint32_t WD, std::uint32_t HD, std::uint32_t C);
void DRAWBMP(PBITMAP BS, std::uint32_t XD, std::uint32_t YD, std::uint32_t C);
void DRAWBMP(PBITMAP BS, std::uint32_t XD, std::uint32_t YD);
void DRAWBMP(PBITMAP BS, std::uint32_t C);

// CLEAR(B), then DRAWBMP(S1, B, C1) and DRAWBMP(S2, B, C2) (S2 nil: left out),
// in one pass. S1 may be B itself, standing for B's pixels before the clear.
// Only when S1 and S2 have B's size, S2 is not B, and CLEAR would fill; false,
// with nothing done, otherwise. Game thread.
bool clear_and_lay(PBITMAP B, PBITMAP S1, std::uint32_t C1, PBITMAP S2, std::uint32_t C2);

// Brings the main and window surfaces to the client size the window thread
// last reported, before anything draws; every drawing call does this itself.
// Game thread.
void sync_main_surface();

// Counts the changes to the main and window surfaces: every drawing call into
// either, and their rebuilds for a new client size. Equal counts mean both
// still hold what they held. Game thread.
std::uint64_t main_surface_changes();
// Drawing calls report here after drawing into rows top..bottom - 1 of B
// (all by default): counts the change, notes the rows, and a window surface
// is presented unless the caller has handed it over itself. Game thread;
// inside the library.
void after_drawing(const BITMAP& B, bool present = true, std::uint32_t top = 0, std::uint32_t bottom = UINT32_MAX);

// The rows of the main and window surfaces drawn on since they were last
// forgotten, so that presenting can pass over the others; forget_drawn_rows()
// once the window has them. Game thread (FRESHWIN).
const ChangedRows& drawn_rows();
void forget_drawn_rows();

// What the window gives the surfaces when it opens: the colours 0 stands for
// (CFG in BAR's fill, CBG in CLEAR and the window surface's first colour),
// `sync` (behind sync_main_surface) to take in a new client size, and
// `present` to show the window surface after a drawing call on it. Game
// thread (CREATEWIN).
void attach_window(std::uint32_t CFG, std::uint32_t CBG, void (*sync)(), void (*present)());
// After a client size report: both surfaces count as changed in every row.
// Game thread (sync).
void surfaces_resized();
// Makes the main and window surfaces W x H afresh: the window surface in CBG,
// the main surface cleared and keyed with TRANSPARENT. Game thread (sync).
void make_main_surface(std::uint32_t W, std::uint32_t H);

// A binary PPM (a screenshot, a replay snap) as RGB bytes, row by row; empty
// when it is not one. `width`, when given, receives its width. Any thread
// (tools, tests).
std::vector<std::uint8_t> read_ppm(const std::string& path, int* width = nullptr);

}  // namespace display
