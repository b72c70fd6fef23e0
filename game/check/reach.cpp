// Reachability of a level: breadth first over the player's states, one frame
// per layer, each state stepped by the game's own MAKESTP under every key
// choice. States on one fine grid cell count as one; a route the search finds
// is then replayed exactly through the step before it is believed. Every pass
// keeps where it stands, so that a slice can end between any two states.
#include "game/check/reach.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <functional>
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
// step, a NaN that never matches (laid once by the search), so that the
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

// Breadth first from a seed over the stored moves: each state's parent and
// the choice that led there.
struct Tree {
  std::vector<std::uint32_t> parent;
  std::vector<std::uint8_t> choice;
  std::vector<std::uint32_t> order;  // states in the order met
  std::size_t at = 0;                // states of `order` whose moves are taken
};

// The states from which a goal is reached, worked out backwards over the
// moves: each move's source listed by its target (`first`, `from`), then a
// walk from the goal's states.
struct Leading {
  int stage = 0;
  std::size_t at = 0;
  std::vector<std::uint32_t> first, from, fill, todo;
  std::vector<bool> leads;
};

}  // namespace

struct ReachSearch::Search {
  Search(const Game& loaded, int at_level, std::size_t most)
      : copy(std::make_unique<Game>(loaded)), game(*copy), level(at_level), budget(std::min(most, REACH_BUDGET_MAX)) {
    game.BDLV = static_cast<std::int8_t>(level);
    game.STPX[level][0] = std::numeric_limits<double>::quiet_NaN();
    hub = level == 0;
    std::vector<State> seeds{start_at(game.BDIX[level], game.BDIY[level])};
    if (!hub) seeds.push_back(start_at(game.BDOX[level], game.BDOY[level]));
    exit_start = seeds.back();
    for (const State& s : seeds)
      if (table.find_or_add(grid_key(s), static_cast<std::uint32_t>(states.size())) == states.size())
        states.push_back(s);
    plan.emplace_back([this](Meter& m) { return explore(m); });
  }

  bool run(Meter& m) {
    while (planned_step < plan.size()) {
      if (!plan[planned_step](m)) return false;
      if (++planned_step == plan.size() && !planned) {
        planned = true;
        plan_the_rest();
      }
    }
    return true;
  }

  // What follows the exploration depends on what it found.
  void plan_the_rest() {
    r.states = states.size();
    r.out_of_budget = out_of_budget;
    const Cell entry{game.BDIX[level], game.BDIY[level]}, exit{game.BDOX[level], game.BDOY[level]},
        end{game.BDEX[level], game.BDEY[level]};
    plan.emplace_back([this](Meter& m) { return tree(m, from_entry, 0); });
    plan.emplace_back([this, exit](Meter& m) { return quickest(m, from_entry, exit, r.entry_to_exit); });
    if (hub) {
      plan.emplace_back([this, end](Meter& m) { return quickest(m, from_entry, end, r.entry_to_end); });
      if (!out_of_budget) {
        plan.emplace_back([this, exit, end](Meter& m) { return leading_to(m, {exit, end}); });
        plan.emplace_back([this](Meter& m) { return one_way(m, from_entry, r.one_way_forward); });
      }
    } else if (states.size() > 1) {
      // The exit's start is state 1 unless it is the entry's start too.
      const std::uint32_t exit_seed = states[1].px == exit_start.px && states[1].py == exit_start.py ? 1 : 0;
      plan.emplace_back([this, exit_seed](Meter& m) { return tree(m, from_exit, exit_seed); });
      plan.emplace_back([this, entry](Meter& m) { return quickest(m, from_exit, entry, r.exit_to_entry); });
      if (!out_of_budget) {
        plan.emplace_back([this, exit](Meter& m) { return leading_to(m, {exit}); });
        plan.emplace_back([this](Meter& m) { return one_way(m, from_entry, r.one_way_forward); });
        plan.emplace_back([this, entry](Meter& m) { return leading_to(m, {entry}); });
        plan.emplace_back([this](Meter& m) { return one_way(m, from_exit, r.one_way_backward); });
      }
    }
    // Only the result is kept once it is known.
    plan.emplace_back([this](Meter&) {
      states = {};
      next = {};
      from_entry = {};
      from_exit = {};
      lead = {};
      return true;
    });
  }

  // Every state met from the seeds, within the budget, a state at a time.
  bool explore(Meter& m) {
    for (; explored < states.size(); ++explored) {
      if (m.spent()) return false;
      const std::size_t i = explored;
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
          return explored_all();
        }
        State t = step(game, s, c);
        m.use(HOLD);
        std::uint32_t n = table.find_or_add(grid_key(t), static_cast<std::uint32_t>(states.size()));
        if (n == states.size()) states.push_back(t);
        next[i * CHOICES + c] = n;
      }
    }
    return explored_all();
  }

  bool explored_all() {
    next.resize(states.size() * CHOICES, NONE);
    table = {};
    return true;
  }

  bool tree(Meter& m, Tree& t, std::uint32_t seed) {
    if (t.order.empty()) {
      t.parent.assign(states.size(), NONE);
      t.choice.assign(states.size(), 0);
      t.order = {seed};
      t.parent[seed] = seed;
    }
    for (; t.at < t.order.size(); ++t.at) {
      if (m.spent()) return false;
      m.use(1);
      std::uint32_t i = t.order[t.at];
      for (int c = 0; c < CHOICES; ++c) {
        std::uint32_t n = next[i * CHOICES + c];
        if (n == NONE || t.parent[n] != NONE) continue;
        t.parent[n] = i;
        t.choice[n] = static_cast<std::uint8_t>(c);
        t.order.push_back(n);
      }
    }
    return true;
  }

  // The quickest route in `tree` into the cell, replayed exactly from the
  // seed: the frames it takes, or -1. A route through states merged on the
  // grid may miss when replayed; the next quickest is tried then.
  bool quickest(Meter& m, const Tree& t, Cell goal, long& found) {
    for (; route_at < t.order.size(); ++route_at) {
      if (m.spent()) return false;
      m.use(1);
      const std::uint32_t i = t.order[route_at];
      if (!hits(states[i], goal.x, goal.y)) continue;
      if (++tries > 64) break;
      std::vector<int> choices;
      for (std::uint32_t k = i; t.parent[k] != k; k = t.parent[k]) choices.push_back(t.choice[k]);
      State s = states[t.order[0]];
      long frames = 0;
      for (std::size_t k = choices.size(); k-- > 0 && found < 0;)
        for (int f = 0; f < HOLD; ++f) {
          s = frame(game, s, choices[k] % 3, f == 0 && choices[k] >= 3);
          ++frames;
          if (hits(s, goal.x, goal.y)) {
            found = frames;
            break;
          }
        }
      m.use(static_cast<std::uint64_t>(frames));
      if (found >= 0) break;
    }
    route_at = 0;
    tries = 0;
    return true;
  }

  // The states from which some state hitting one of the goal cells is
  // reached, into lead.leads.
  bool leading_to(Meter& m, const std::vector<Cell>& goal) {
    Leading& l = lead;
    const std::size_t n = states.size();
    for (;; l.at = 0, ++l.stage) {
      switch (l.stage) {
        case 0:  // how many moves lead into each state
          l.first.assign(n + 1, 0);
          l.leads.clear();
          break;
        case 1:
          for (; l.at < n; ++l.at) {
            if (m.spent()) return false;
            m.use(1);
            for (int c = 0; c < CHOICES; ++c)
              if (next[l.at * CHOICES + c] != NONE) ++l.first[next[l.at * CHOICES + c] + 1];
          }
          break;
        case 2:  // where each state's list of sources begins
          for (; l.at < n; ++l.at) {
            if (m.spent()) return false;
            m.use(1);
            l.first[l.at + 1] += l.first[l.at];
          }
          l.from.resize(l.first.back());
          l.fill.assign(l.first.begin(), l.first.end() - 1);
          break;
        case 3:
          for (; l.at < n; ++l.at) {
            if (m.spent()) return false;
            m.use(1);
            for (int c = 0; c < CHOICES; ++c) {
              const std::uint32_t to = next[l.at * CHOICES + c];
              if (to != NONE) l.from[l.fill[to]++] = static_cast<std::uint32_t>(l.at);
            }
          }
          l.fill = {};
          l.leads.assign(n, false);
          break;
        case 4:  // the goal's own states
          for (; l.at < n; ++l.at) {
            if (m.spent()) return false;
            m.use(1);
            for (const Cell& c : goal)
              if (hits(states[l.at], c.x, c.y)) l.leads[l.at] = true;
            if (l.leads[l.at]) l.todo.push_back(static_cast<std::uint32_t>(l.at));
          }
          break;
        case 5:  // and every state with a move into one that leads there
          while (!l.todo.empty()) {
            if (m.spent()) return false;
            m.use(1);
            std::uint32_t i = l.todo.back();
            l.todo.pop_back();
            for (std::uint32_t e = l.first[i]; e < l.first[i + 1]; ++e)
              if (!l.leads[l.from[e]]) l.leads[l.from[e]] = true, l.todo.push_back(l.from[e]);
          }
          l.first = {};
          l.from = {};
          l.todo = {};
          l.stage = 0;
          return true;
        default: break;
      }
    }
  }

  // Cells stood in, met from the tree's seed, from which the goal of
  // lead.leads is never reached.
  bool one_way(Meter& m, const Tree& t, std::vector<Cell>& cells) {
    if (one_way_at == 0) seen.assign(std::size_t{BDWMAX} * BDHMAX, false);
    for (; one_way_at < t.order.size(); ++one_way_at) {
      if (m.spent()) return false;
      m.use(1);
      const std::uint32_t i = t.order[one_way_at];
      const State& s = states[i];
      if (lead.leads[i] || !standing(game, s)) continue;
      const Cell c{static_cast<int>(s.px / 20.0), static_cast<int>((s.py + 17.0) / 20.0)};
      // A cell is listed once; one off the board (never, on a walled board)
      // is left to the sort below.
      const bool on_board = c.x >= 0 && c.x < BDWMAX && c.y >= 0 && c.y < BDHMAX;
      if (on_board && seen[static_cast<std::size_t>(c.y) * BDWMAX + static_cast<std::size_t>(c.x)]) continue;
      if (on_board) seen[static_cast<std::size_t>(c.y) * BDWMAX + static_cast<std::size_t>(c.x)] = true;
      cells.push_back(c);
    }
    std::sort(cells.begin(), cells.end());
    cells.erase(std::unique(cells.begin(), cells.end(), [](Cell a, Cell b) { return !(a < b) && !(b < a); }),
                cells.end());
    one_way_at = 0;
    seen = {};
    return true;
  }

  std::unique_ptr<Game> copy;
  Game& game;  // a copy of its own: the search moves its player
  int level;
  std::size_t budget;
  bool hub;
  State exit_start{};
  std::vector<State> states;
  std::vector<std::uint32_t> next;  // CHOICES per state: the state after each choice, or NONE
  StateTable table;
  std::size_t explored = 0;
  bool out_of_budget = false;
  Tree from_entry, from_exit;
  std::size_t route_at = 0;
  int tries = 0;
  Leading lead;
  std::size_t one_way_at = 0;
  std::vector<bool> seen;
  Reach r;
  std::vector<std::function<bool(Meter&)>> plan;
  std::size_t planned_step = 0;
  bool planned = false;
};

ReachSearch::ReachSearch(const Game& loaded, int level, std::size_t budget)
    : search_(std::make_unique<Search>(loaded, level, budget)) {}
ReachSearch::~ReachSearch() = default;
ReachSearch::ReachSearch(ReachSearch&&) noexcept = default;
ReachSearch& ReachSearch::operator=(ReachSearch&&) noexcept = default;

bool ReachSearch::run(Meter& meter) {
  const auto t0 = std::chrono::steady_clock::now();
  const bool done = search_->run(meter);
  search_->r.seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  return done;
}

const Reach& ReachSearch::result() const { return search_->r; }

Reach search_level(const Game& loaded, int level, std::size_t budget) {
  const std::atomic<bool> never{false};
  ReachSearch search(loaded, level, budget);
  Meter whole(Slice::whole(), never);
  search.run(whole);
  return search.result();
}

}  // namespace tervalon
