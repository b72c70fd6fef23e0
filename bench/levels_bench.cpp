// How long tervalon-levels searches one level for the places the player can
// reach (the checker promises under 10 s a level), as states met per second:
// every shipped level, and the largest board there can be, 127 x 127 cells
// with nothing in it, where the search runs into its budget. Level 1 meets
// the most states of the shipped levels.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "game/check/reach.h"
#include "game/rules/level_file.h"

namespace tervalon {
namespace {

void count(benchmark::State& state, const Reach& r) {
  state.counters["states"] = static_cast<double>(r.states);
  state.counters["states_per_s"] = benchmark::Counter(static_cast<double>(r.states), benchmark::Counter::kIsRate);
}

void BM_ReachShippedLevel(benchmark::State& state) {
  const auto game = load_levels(TERVALON_LEVEL_FILE);
  const int level = static_cast<int>(state.range(0));
  Reach r;
  for (auto _ : state) {
    r = search_level(*game, level, REACH_BUDGET);
    benchmark::DoNotOptimize(r.states);
  }
  if (r.out_of_budget || r.entry_to_exit < 0) state.SkipWithError("the search did not prove the level");
  count(state, r);
}
BENCHMARK(BM_ReachShippedLevel)->DenseRange(0, 9)->Unit(benchmark::kSecond)->Iterations(1);

// A hub and one level on a 127 x 127 board walled only at its border, the
// entry and the exit far apart on the floor.
std::unique_ptr<Game> open_board() {
  const int side = 127;
  std::string file = "1\n" + std::to_string(side) + " " + std::to_string(side) + "\n" + std::string(12, '\n');
  for (int level = 0; level <= 1; ++level) {
    file += "1\n";
    for (int y = 0; y < side; ++y) {
      std::string row(side, ' ');
      if (y == side - 2) {
        row[3] = 'i';
        row[level == 0 ? 10 : side - 8] = 'o';
        if (level == 0) row[6] = 'e';
      }
      file += row + "\n";
    }
  }
  char path[] = "/tmp/tervalon-bench-XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) return nullptr;
  close(fd);
  std::ofstream(path, std::ios::binary) << file;
  auto game = load_levels(path);
  std::remove(path);
  return game;
}

void BM_ReachOpenBoard(benchmark::State& state) {
  const auto game = open_board();
  if (!game) {
    state.SkipWithError("no temporary file");
    return;
  }
  Reach r;
  for (auto _ : state) {
    r = search_level(*game, 1, REACH_BUDGET);
    benchmark::DoNotOptimize(r.states);
  }
  if (!r.out_of_budget) state.SkipWithError("the search did not meet its budget");
  count(state, r);
}
BENCHMARK(BM_ReachOpenBoard)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
}  // namespace tervalon
