// The game's whole state as one value: the level tables, the trail of every
// level, the player, the keys and the interlude. Made by loading a level file
// (level_file.h) and passed to every routine of the rules, the drawing, the
// replay language and the tools; two games never share anything.
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

// About 2 MB, most of it the boards: make one with std::make_unique (the
// loader does). Copying one copies the whole game.
struct Game {
  // Progression, clock and colours.
  bool CHEAT = false;                             // the cheat marker file exists: every STPM is 1
  std::string level_file_sha256;                  // of the bytes loaded, for recordings; empty when not loaded
  std::int8_t GSIT = 0;                           // 0 level 0, 1 forward pass, 2 backward pass
  Array<std::uint32_t, 0, 4> C = colour_steps();  // blue, blue, yellow, yellow, red
  std::uint32_t W = 0, H = 0;                     // board (and client area) size in pixels, set by the loader
  std::uint8_t CTEMP = 0;                         // fade of the game picture, 0..252 in steps of 4
  std::uint8_t CTEXT = 0;                         // 255 - CTEMP
  std::uint64_t FRAME = 0;                        // game frames run since start
  std::uint32_t PAUSE = 0;                        // 0 play, 1 text fading in, 2 text shown, 3 fading out

  // Board. BD is indexed level, then column, then row.
  PerLevel<Array<Array<std::int8_t, 0, BDHMAX - 1>, 0, BDWMAX - 1>> BD;
  std::int8_t BDLV = 0;               // current level
  std::int8_t BDLN = 0;               // last level index
  std::int8_t BDW = 0, BDH = 0;       // board size in cells
  PerLevel<std::int32_t> BDIX, BDIY;  // entry cell
  PerLevel<std::int32_t> BDOX, BDOY;  // exit cell
  PerLevel<std::int32_t> BDEX, BDEY;  // end cell

  // Trail: per level the player centres 0..STPN; ghost k is point STPN - 160k.
  // Stored only as far as it has been played, so that a game copies cheaply.
  PerLevel<base::GrowingArray<double, 0, STPMAX>> STPX, STPY;
  PerLevel<std::uint32_t> STPN;            // index of the head
  PerLevel<std::uint32_t> STPM;            // least head index at which the exit counts
  PerLevel<Array<bool, 0, STPPMAX>> STPP;  // ghost k caught (backward pass)

  // Story text: STEXT[level][half 1..2][line 1..4], in GBK when story_in_gbk
  // (the loader decides once per file), else UTF-8.
  PerLevel<Array<Array<std::string, 1, 4>, 1, 2>> STEXT;
  bool story_in_gbk = false;
  Array<std::string, 1, 4> CURTEXT;  // the lines on show
  std::uint32_t CURTEXTC = 0;        // their colour

  // Player and input.
  double PX = 0, PY = 0;       // centre of the 16 x 36 player box
  double VX = 0, VY = 0;       // velocity, pixels per frame
  double AX = 0.1;             // horizontal acceleration
  double AY = 0.15;            // gravity
  std::int8_t KL = 0, KR = 0;  // 1 while Left / Right is held
  std::int8_t KU = 0;          // Up: 0 not held, 1 fresh press, 2+ seen and held

 private:
  static Array<std::uint32_t, 0, 4> colour_steps() {
    Array<std::uint32_t, 0, 4> c;
    c[0] = c[1] = 0x10000;
    c[2] = c[3] = 0x101;
    c[4] = 0x1;
    return c;
  }
};

}  // namespace tervalon
