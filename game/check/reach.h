// Where the player can get to in a level, searched with the game's own player
// step over every key choice, frame by frame, ghosts left out. A search is a
// job run in slices (slice.h), so that a worker thread or a browser frame can
// run it a part at a time, and any part of it can be the last.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "game/check/slice.h"
#include "game/rules/state.h"

namespace tervalon {

// A cell the player stands in: column and row.
struct Cell {
  int x, y;
  bool operator<(const Cell& o) const { return y != o.y ? y < o.y : x < o.x; }
};

struct Reach {
  std::size_t states = 0;      // distinct states the search met
  bool out_of_budget = false;  // it stopped at its budget: what it did not find is unknown
  double seconds = 0;          // spent searching, summed over the slices
  // Frames of the quickest route found (its key presses replayed exactly
  // through the step), or -1 when none was found.
  long entry_to_exit = -1, exit_to_entry = -1, entry_to_end = -1;
  // Places the player can stand in, reached from the start of a pass, from
  // which that pass's goal is never reached (only known within the budget).
  std::vector<Cell> one_way_forward, one_way_backward;
};

// The states a search may meet unless told otherwise: enough for every
// shipped level with room to spare.
constexpr std::size_t REACH_BUDGET = 3000000;

// The largest budget: states are numbered in 32 bits, and so are the moves
// between them, six a state. Near it the search needs some 100 GB.
constexpr std::size_t REACH_BUDGET_MAX = 700000000;

// The search of level `level` of a loaded game (on a copy of its own).
// `budget` (1..REACH_BUDGET_MAX) bounds the number of states; memory follows
// the states met, about 120 bytes each. The same result however it is sliced.
class ReachSearch {
 public:
  ReachSearch(const Game& loaded, int level, std::size_t budget);
  ~ReachSearch();
  ReachSearch(ReachSearch&&) noexcept;
  ReachSearch& operator=(ReachSearch&&) noexcept;

  // Goes on for as long as `meter` allows; true once the search is done,
  // when result() is final.
  bool run(Meter& meter);
  const Reach& result() const;

 private:
  struct Search;
  std::unique_ptr<Search> search_;
};

// The whole search at once.
Reach search_level(const Game& loaded, int level, std::size_t budget);

}  // namespace tervalon
