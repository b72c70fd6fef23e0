// Reachability of a level: breadth first over the player's states, one frame
// per layer, each state stepped by the game's own MAKESTP under every key
// choice. States on one fine grid cell count as one; a route the search finds
// is then replayed exactly through the step before it is believed.
#include "tools/levels_reach.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <limits>
#include <memory>

#include "game/rules/coords.h"
#include "game/rules/probes.h"
#include "game/rules/step.h"
#include "game/rules/trail.h"

namespace tervalon {

namespace {

struct State {
  double px, py, vx, vy;
};

// std::lround, half away from zero, without the library call it costs
// (a fifth of the search's own time). The difference from the truncated
// value is exact below 2^52; beyond 2^31 the library decides.
long nearest(double v) {
  if (!(std::fabs(v) < 2147483648.0)) return std::lround(v);
  const double t = static_cast<double>(static_cast<std::int64_t>(v));
  return static_cast<long>(std::fabs(v - t) >= 0.5 ? t + std::copysign(1.0, v) : t);
}

// Key choices in one frame: Left, Right or neither held (both is neither),
// times Up pressed afresh or not.
constexpr int CHOICES = 6;
constexpr std::uint32_t NONE = std::numeric_limits<std::uint32_t>::max();

// The grid on which states count as one: positions to 4 pixels, speeds to a
// quarter pixel per frame. Finer grids found no more routes in the shipped
// levels and cost several times the states.
std::uint64_t grid_key(const State& s) {
  auto q = [](double v, double scale) {
    return static_cast<std::uint64_t>(static_cast<std::uint16_t>(static_cast<std::int32_t>(nearest(v * scale))));
  };
  return q(s.px, 0.25) | q(s.py, 0.25) << 16 | q(s.vx, 4) << 32 | q(s.vy, 4) << 48;
}

// Open addressing from grid keys to state numbers. It starts small and
// doubles as states are found, never more than half full, so its memory
// follows the states met rather than the budget.
class StateTable {
 public:
  // The state number of `key`, or `fresh` after storing it there.
  std::uint32_t find_or_add(std::uint64_t key, std::uint32_t fresh) {
    if (2 * (size_ + 1) > slots_.size()) grow();
    Slot& slot = slots_[place(key)];
    if (slot.key == EMPTY) {
      slot = {key, fresh};
      ++size_;
    }
    return slot.value;
  }

 private:
  static constexpr std::uint64_t EMPTY = ~0ull;  // no state has every field at -1
  // Key and value side by side: one cache line per probe.
  struct Slot {
    std::uint64_t key = EMPTY;
    std::uint32_t value = 0;
  };

  // The slot holding `key`, or the empty one where it belongs.
  std::size_t place(std::uint64_t key) const {
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> shift_);
    while (slots_[i].key != key && slots_[i].key != EMPTY) i = (i + 1) & mask;
    return i;
  }

  void grow() {
    std::vector<Slot> old(slots_.empty() ? 1024 : 2 * slots_.size());
    old.swap(slots_);
    shift_ = 64 - std::countr_zero(slots_.size());
    for (const Slot& s : old)
      if (s.key != EMPTY) slots_[place(s.key)] = s;
  }

  std::vector<Slot> slots_;
  std::size_t size_ = 0;
  int shift_ = 64;
};

void put(Game& game, const State& s) {
  game.PX = s.px;
  game.PY = s.py;
  game.VX = s.vx;
  game.VY = s.vy;
}

// The keys for one frame: Left (1), Right (2) or neither held, and Up
// pressed afresh or not. The trail is cut back to its one point before the
// step, a NaN that never matches (laid once by search_level), so that the
// step always appends at 1 and the trail never grows.
void keys(Game& game, int horizontal, bool up) {
  game.KL = horizontal == 1 ? 1 : 0;
  game.KR = horizontal == 2 ? 1 : 0;
  game.KU = up ? 1 : 0;
  game.STPN[game.BDLV] = 0;
}

State taken(const Game& game) { return {game.PX, game.PY, game.VX, game.VY}; }

// One frame of the game's step from `s`.
State frame(Game& game, const State& s, int horizontal, bool up) {
  put(game, s);
  keys(game, horizontal, up);
  MAKESTP(game);
  return taken(game);
}

// The keys change only every few frames: a route that needs a key on one
// exact frame is no route for a player anyway. Up is pressed in the first
// frame of a choice and held. The player stays in the game between the
// frames.
constexpr int HOLD = 4;

State step(Game& game, const State& s, int choice) {
  put(game, s);
  for (int f = 0; f < HOLD; ++f) {
    keys(game, choice % 3, f == 0 && choice >= 3);
    MAKESTP(game);
  }
  return taken(game);
}

// Up does something only against a floor or a wall.
bool can_jump(Game& game, const State& s) {
  put(game, s);
  return ISBOT(game) || ISLEFT(game) || ISRIGHT(game);
}

bool standing(Game& game, const State& s) {
  put(game, s);
  return s.vy == 0 && ISBOT(game);
}

bool hits(const State& s, int cx, int cy) { return HITSTP(s.px, BD2X(cx), s.py, BD2Y(cy)); }

State start_at(int cx, int cy) { return {double(BD2X(cx)), double(BD2Y(cy)), 0.0, 0.0}; }

struct Graph {
  Game& game;  // a copy of its own: the search moves its player
  std::vector<State> states;
  std::vector<std::uint32_t> next;  // CHOICES per state: the state after each choice, or NONE
  bool out_of_budget = false;

  // Every state met from the seeds, within the budget.
  void explore(const std::vector<State>& seeds, std::size_t budget) {
    StateTable table;
    for (const State& s : seeds)
      if (table.find_or_add(grid_key(s), static_cast<std::uint32_t>(states.size())) == states.size())
        states.push_back(s);
    for (std::size_t i = 0; i < states.size(); ++i) {
      next.resize((i + 1) * CHOICES, NONE);
      State s = states[i];
      bool jump = can_jump(game, s);
      for (int c = 0; c < CHOICES; ++c) {
        if (c >= 3 && !jump) {
          next[i * CHOICES + c] = next[i * CHOICES + c - 3];  // Up in the air changes nothing
          continue;
        }
        if (states.size() >= budget) {
          out_of_budget = true;
          next.resize(states.size() * CHOICES, NONE);
          return;
        }
        State t = step(game, s, c);
        std::uint32_t n = table.find_or_add(grid_key(t), static_cast<std::uint32_t>(states.size()));
        if (n == states.size()) states.push_back(t);
        next[i * CHOICES + c] = n;
      }
    }
    next.resize(states.size() * CHOICES, NONE);
  }

  // Breadth first from `seed` over the stored moves: each state's parent and
  // the choice that led there.
  struct Tree {
    std::vector<std::uint32_t> parent;
    std::vector<std::uint8_t> choice;
    std::vector<std::uint32_t> order;  // states in the order met
  };
  Tree tree_from(std::uint32_t seed) const {
    Tree t{std::vector<std::uint32_t>(states.size(), NONE), std::vector<std::uint8_t>(states.size()), {seed}};
    t.parent[seed] = seed;
    for (std::size_t k = 0; k < t.order.size(); ++k) {
      std::uint32_t i = t.order[k];
      for (int c = 0; c < CHOICES; ++c) {
        std::uint32_t n = next[i * CHOICES + c];
        if (n == NONE || t.parent[n] != NONE) continue;
        t.parent[n] = i;
        t.choice[n] = static_cast<std::uint8_t>(c);
        t.order.push_back(n);
      }
    }
    return t;
  }

  // The states from which some state in `goal` is reached.
  std::vector<bool> leading_to(const std::vector<bool>& goal) const {
    std::vector<std::uint32_t> first(states.size() + 1, 0), from;
    for (std::uint32_t n : next)
      if (n != NONE) ++first[n + 1];
    for (std::size_t i = 0; i < states.size(); ++i) first[i + 1] += first[i];
    from.resize(first.back());
    std::vector<std::uint32_t> fill(first.begin(), first.end() - 1);
    for (std::size_t e = 0; e < next.size(); ++e)
      if (next[e] != NONE) from[fill[next[e]]++] = static_cast<std::uint32_t>(e / CHOICES);
    std::vector<bool> leads = goal;
    std::vector<std::uint32_t> todo;
    for (std::uint32_t i = 0; i < states.size(); ++i)
      if (goal[i]) todo.push_back(i);
    while (!todo.empty()) {
      std::uint32_t i = todo.back();
      todo.pop_back();
      for (std::uint32_t e = first[i]; e < first[i + 1]; ++e)
        if (!leads[from[e]]) leads[from[e]] = true, todo.push_back(from[e]);
    }
    return leads;
  }
};

// The quickest route in `tree` into the cell, replayed exactly from the seed:
// the frames it takes, or -1. A route through states merged on the grid may
// miss when replayed; the next quickest is tried then.
long quickest(const Graph& g, const Graph::Tree& tree, int cx, int cy) {
  int tries = 0;
  for (std::uint32_t i : tree.order) {
    if (!hits(g.states[i], cx, cy)) continue;
    if (++tries > 64) return -1;
    std::vector<int> choices;
    for (std::uint32_t k = i; tree.parent[k] != k; k = tree.parent[k]) choices.push_back(tree.choice[k]);
    State s = g.states[tree.order[0]];
    long frames = 0;
    for (std::size_t k = choices.size(); k-- > 0;)
      for (int f = 0; f < HOLD; ++f) {
        s = frame(g.game, s, choices[k] % 3, f == 0 && choices[k] >= 3);
        ++frames;
        if (hits(s, cx, cy)) return frames;
      }
  }
  return -1;
}

std::vector<bool> hitting(const Graph& g, int cx, int cy) {
  std::vector<bool> in(g.states.size());
  for (std::size_t i = 0; i < in.size(); ++i) in[i] = hits(g.states[i], cx, cy);
  return in;
}

// Cells stood in, met from the tree's seed, from which `leads` never holds.
std::vector<Cell> one_way(const Graph& g, const Graph::Tree& tree, const std::vector<bool>& leads) {
  std::vector<Cell> cells;
  for (std::uint32_t i : tree.order) {
    const State& s = g.states[i];
    if (leads[i] || !standing(g.game, s)) continue;
    cells.push_back({static_cast<int>(s.px / 20.0), static_cast<int>((s.py + 17.0) / 20.0)});
  }
  std::sort(cells.begin(), cells.end());
  cells.erase(std::unique(cells.begin(), cells.end(), [](Cell a, Cell b) { return !(a < b) && !(b < a); }),
              cells.end());
  return cells;
}

}  // namespace

Reach search_level(const Game& loaded, int level, std::size_t budget) {
  auto t0 = std::chrono::steady_clock::now();
  const auto copy = std::make_unique<Game>(loaded);
  Game& game = *copy;
  game.BDLV = static_cast<std::int8_t>(level);
  game.STPX[level][0] = std::numeric_limits<double>::quiet_NaN();
  bool hub = level == 0;
  std::vector<State> seeds{start_at(game.BDIX[level], game.BDIY[level])};
  if (!hub) seeds.push_back(start_at(game.BDOX[level], game.BDOY[level]));

  Graph g{game, {}, {}};
  g.explore(seeds, std::min(budget, REACH_BUDGET_MAX));  // state numbers are 32-bit
  Reach r;
  r.states = g.states.size();
  r.out_of_budget = g.out_of_budget;

  Graph::Tree from_entry = g.tree_from(0);
  r.entry_to_exit = quickest(g, from_entry, game.BDOX[level], game.BDOY[level]);
  if (hub) {
    r.entry_to_end = quickest(g, from_entry, game.BDEX[level], game.BDEY[level]);
  } else if (g.states.size() > 1) {
    // The exit's start is state 1 unless it is the entry's start too.
    std::uint32_t exit_seed = g.states[1].px == seeds[1].px && g.states[1].py == seeds[1].py ? 1 : 0;
    Graph::Tree from_exit = g.tree_from(exit_seed);
    r.exit_to_entry = quickest(g, from_exit, game.BDIX[level], game.BDIY[level]);
    if (!r.out_of_budget) {
      r.one_way_forward = one_way(g, from_entry, g.leading_to(hitting(g, game.BDOX[level], game.BDOY[level])));
      r.one_way_backward = one_way(g, from_exit, g.leading_to(hitting(g, game.BDIX[level], game.BDIY[level])));
    }
  }
  if (hub && !r.out_of_budget) {
    std::vector<bool> goal = hitting(g, game.BDOX[level], game.BDOY[level]),
                      end = hitting(g, game.BDEX[level], game.BDEY[level]);
    for (std::size_t i = 0; i < goal.size(); ++i) goal[i] = goal[i] || end[i];
    r.one_way_forward = one_way(g, from_entry, g.leading_to(goal));
  }
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  return r;
}

}  // namespace tervalon
