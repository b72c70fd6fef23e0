// What the window shows over the game's picture to help a player: the goal's
// outline, the guide (a line over the top of the board and a mark over the
// entry, where the next ghost will appear) and the quiet marks of the assists
// in force. Drawn over the composed picture, never into the game's surfaces,
// so recordings and snapshots cannot see them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "game/rules/state.h"
#include "game/view/draw.h"

namespace tervalon {

// The guide's line for the game as it is now, in both languages: the level
// and pass, the trail against the length the exit needs (forward), the
// ghosts there are, caught and left (back), the moves until the next ghost
// appears, and on the way back how many moves home is by the trail.
std::string guide_line(const Game& g);

// The moves until the next ghost appears at the entry: a ghost is a trail
// point above 0, so the first needs 161 moves and each later one 160 more.
std::uint32_t moves_to_next_ghost(const Game& g);

// How many moves home is from the head on the way back, along the level's
// forward trail (the way the ghosts walk): from where that trail first came
// to the player's place, or from its nearest point plus the run there at full
// speed; straight to the entry when that trail is gone. 0 at the entry.
std::uint32_t moves_home(const Game& g);

// Draws the guide over the picture now in the main surface; the caller
// presents it.
// Game thread.
void draw_guide(const Game& g, View& v);

// Outlines the goal's player box in the goal's colour: the exit, or the
// entry on the way back. The exit's own marker fills it as the trail grows.
// Nothing while a story text is over the board. Game thread.
void draw_goal(const Game& g);

// The assists in force that change what a run is.
struct Assists {
  bool muted = false;         // no sound
  std::uint32_t speed = 100;  // percent of full speed; below 100 sets no best times
  bool practising = false;    // a practice, not the journey
};

// The assists' marks, one short line each in both languages; none when play
// is as it is by default.
std::vector<std::string> assist_lines(const Assists& a);

// The assists' marks, small, in the bottom right corner over the picture now
// in the main surface. Font settings are left as they were. Game thread.
void draw_assists(const Game& g, const Assists& a);

}  // namespace tervalon
