// How much each key press of a recorded solution may move in time and still
// finish its stage: the solutions are played in name order from the start of
// a game, as the replay tool plays them. A measure is a job run in slices
// (slice.h), like the reachability search.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "game/check/slice.h"
#include "game/replay/script.h"
#include "game/rules/state.h"

namespace tervalon {

// A recorded solution as read_script reads it.
struct Solution {
  std::string name;  // what the measure calls it: its file path
  std::vector<ScriptLine> lines;
  bool readable = true;  // false when it could not be read to its end
};

// One press: a key-down of Left or Right (its key-up stays where it is), or a
// tap of Up (key-down and key-up move together).
struct PressSlack {
  std::uint64_t line;  // of the key-down in its script
  int earlier, later;  // frames it can move and the stage still finishes, up to the cap
};

struct StageSlack {
  std::string script;        // the solution's name
  int level = 0, pass = 0;   // the stage it starts in
  bool finished = false;     // as recorded, it finishes its stage
  std::uint64_t frames = 0;  // frames the script lets pass
  std::vector<PressSlack> presses;
};

// Plays `solutions` one after another on a copy of the loaded game from its
// first frame of a game and measures each press, moving it by 1..cap frames
// each way. A stage finishes when its story text is fully shown and a key is
// pressed, or, for the stage that ends the game, when the end cell is
// reached. The solutions after one that does not finish are not played.
class SlackMeasure {
 public:
  SlackMeasure(const Game& loaded, std::vector<Solution> solutions, int cap);
  ~SlackMeasure();
  SlackMeasure(SlackMeasure&&) noexcept;
  SlackMeasure& operator=(SlackMeasure&&) noexcept;

  // Goes on for as long as `meter` allows (a unit is a frame played); true
  // once every stage is measured, when result() is final.
  bool run(Meter& meter);
  const std::vector<StageSlack>& result() const;

 private:
  struct Measure;
  std::unique_ptr<Measure> measure_;
};

// The whole measure at once.
std::vector<StageSlack> measure_slack(const Game& loaded, std::vector<Solution> solutions, int cap);

}  // namespace tervalon
