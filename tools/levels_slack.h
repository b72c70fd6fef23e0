// How much each key press of a recorded solution may move in time and still
// finish its stage: the solutions are played in name order from the start of
// a game, as the replay tool plays them. Used by tervalon-levels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "game/rules/state.h"

namespace tervalon {

// One press: a key-down of Left or Right (its key-up stays where it is), or a
// tap of Up (key-down and key-up move together).
struct PressSlack {
  std::uint64_t line;  // of the key-down in its script
  int earlier, later;  // frames it can move and the stage still finishes, up to the cap
};

struct StageSlack {
  std::string script;        // file path
  int level = 0, pass = 0;   // the stage it starts in
  bool finished = false;     // as recorded, it finishes its stage
  std::uint64_t frames = 0;  // frames the script lets pass
  std::vector<PressSlack> presses;
};

// Plays `scripts` one after another on a copy of the loaded game from its first frame
// of a game and measures each press, moving it by 1..cap frames each way. A
// stage finishes when its story text is fully shown and a key is pressed, or,
// for the stage that ends the game, when the end cell is reached.
std::vector<StageSlack> measure_slack(const Game& loaded, const std::vector<std::string>& scripts, int cap);

}  // namespace tervalon
