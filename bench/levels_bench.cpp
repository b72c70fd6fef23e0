// How long tervalon-levels searches one shipped level for the places the
// player can reach (the checker promises under 10 s a level). Level 1 meets
// the most states of the shipped levels.
#include <benchmark/benchmark.h>

#include "game/rules/level_file.h"
#include "tools/levels_reach.h"

namespace tervalon {
namespace {

void BM_ReachShippedLevel(benchmark::State& state) {
  const auto game = load_levels(TERVALON_LEVEL_FILE);
  const int level = static_cast<int>(state.range(0));
  Reach r;
  for (auto _ : state) {
    r = search_level(*game, level, REACH_BUDGET);
    benchmark::DoNotOptimize(r.states);
  }
  if (r.out_of_budget || r.entry_to_exit < 0) state.SkipWithError("the search did not prove the level");
  state.counters["states"] = static_cast<double>(r.states);
}
BENCHMARK(BM_ReachShippedLevel)->Arg(1)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
}  // namespace tervalon
