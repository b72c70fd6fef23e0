// The game's whole state: fixed-size globals shared by every routine of the
// game, one slot per level in every per-level table. Only the game thread
// touches them.
#pragma once

#include <cstdint>
#include <string>

#include "base/checked.h"

namespace tervalon {

using base::Array;

inline constexpr int FRAMERATE = 60;  // game frames per second
inline constexpr int BDLMAX = 25;     // highest level index
inline constexpr int BDWMAX = 256;    // column slots of a level
inline constexpr int BDHMAX = 256;    // row slots of a level
inline constexpr int BDSZ = 20;       // side of a cell in pixels
inline constexpr int STPMAX = 65536;  // highest trail index
inline constexpr int STPSTP = 160;    // trail points between ghosts
inline constexpr int STPPMAX = 409;   // highest ghost number
inline constexpr int PW = 16;         // player box width
inline constexpr int PH = 36;         // player box height
inline constexpr int MAXVX = 4;       // horizontal speed limit
inline constexpr int MAXVY = 5;       // jump speed

// Story lines are byte strings of at most 255 bytes, in the file's encoding.
inline constexpr std::size_t TEXTMAX = 255;

template <typename T>
using PerLevel = Array<T, 0, BDLMAX>;

// Progression, clock and colours.
extern bool CHEAT;             // the cheat marker file exists: every STPM is 1
extern std::int8_t GSIT;       // 0 level 0, 1 forward pass, 2 backward pass
extern Array<std::uint32_t, 0, 4> C;  // colour steps: blue, blue, yellow, yellow, red
extern std::uint32_t W, H;     // board (and client area) size in pixels
extern std::uint8_t CTEMP;     // fade of the game picture, 0..252 in steps of 4
extern std::uint8_t CTEXT;     // 255 - CTEMP
extern std::uint64_t FRAME;    // game frames run since start
extern std::uint32_t PAUSE;    // 0 play, 1 text fading in, 2 text shown, 3 fading out

// Board. BD is indexed level, then column, then row.
extern PerLevel<Array<Array<std::int8_t, 0, BDHMAX - 1>, 0, BDWMAX - 1>> BD;
extern std::int8_t BDLV;       // current level
extern std::int8_t BDLN;       // last level index
extern std::int8_t BDW, BDH;   // board size in cells
extern PerLevel<std::int32_t> BDIX, BDIY;  // entry cell
extern PerLevel<std::int32_t> BDOX, BDOY;  // exit cell
extern PerLevel<std::int32_t> BDEX, BDEY;  // end cell

// Trail: per level the player centres 0..STPN; ghost k is point STPN - 160k.
extern PerLevel<Array<double, 0, STPMAX>> STPX, STPY;
extern PerLevel<std::uint32_t> STPN;  // index of the head
extern PerLevel<std::uint32_t> STPM;  // least head index at which the exit counts
extern PerLevel<Array<bool, 0, STPPMAX>> STPP;  // ghost k caught (backward pass)

// Story text: STEXT[level][half 1..2][line 1..4].
extern PerLevel<Array<Array<std::string, 1, 4>, 1, 2>> STEXT;
extern std::uint32_t STEXTI;   // line counter of the loader and the overlay
extern Array<std::string, 1, 4> CURTEXT;  // the lines on show
extern std::uint32_t CURTEXTC;            // their colour
extern std::uint32_t CURTEXTX, CURTEXTY;  // position of the line being drawn

// Player and input.
extern double PX, PY;          // centre of the 16 x 36 player box
extern double VX, VY;          // velocity, pixels per frame
extern double AX;              // horizontal acceleration, 0.1
extern double AY;              // gravity, 0.15
extern std::int8_t KL, KR;     // 1 while Left / Right is held
extern std::int8_t KU;         // Up: 0 not held, 1 fresh press, 2+ seen and held

// Puts every global back to its start value (for tools and tests that run
// several games in one process).
void reset_state();

}  // namespace tervalon
