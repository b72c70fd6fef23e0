// Headless game frames per second with the longest trail a level can hold:
// 65,500 points, so 409 ghosts for the trail rules to walk every frame; and
// the cost of reading the sound events after a pass.
#include <benchmark/benchmark.h>

#include "game/replay/events.h"
#include "game/rules/rules.h"
#include "tests/game/support.h"

namespace tervalon::test {
namespace {

void long_trail(Game& g, int pass) {
  start(g, {{1, room(32, 24, 3, 22, 28, 22)}, {1, room(32, 24, 3, 22, 28, 22)}}, 1, pass);
  // A trail that winds through the room's air, away from the player and the
  // exit, so that no ghost is touched and none reaches the exit.
  for (std::uint32_t i = 1; i <= 65500; ++i) {
    g.STPX[1][i] = 100.0 + (i % 400) * 1.1;
    g.STPY[1][i] = 100.0 + (i % 7) * 0.5;
  }
  g.STPN[1] = 65500;
  g.STPX[1][65500] = g.PX;  // the head: the player standing at the entry
  g.STPY[1][65500] = g.PY;
}

void frames(benchmark::State& state, int pass) {
  auto game = std::make_unique<Game>();
  Game& g = *game;
  long_trail(g, pass);
  for (auto _ : state) benchmark::DoNotOptimize(game_frame(g));
  if (g.STPN[1] != 65500 || g.PAUSE != 0) state.SkipWithError("the trail changed under the benchmark");
  state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["x real time"] = benchmark::Counter(static_cast<double>(state.iterations()) / FRAMERATE,
                                                     benchmark::Counter::kIsRate);
}

void BM_FrameForward409Ghosts(benchmark::State& state) { frames(state, 1); }
void BM_FrameBackward409Ghosts(benchmark::State& state) { frames(state, 2); }
BENCHMARK(BM_FrameForward409Ghosts);
BENCHMARK(BM_FrameBackward409Ghosts);

// What the game thread adds to a pass for sound: the event state taken and
// compared with the last one. The dearest case: the way back (the catches
// counted) with a fresh Up (the jump probes read). Must stay under 2 us.
void BM_SoundEventsPerPass(benchmark::State& state) {
  auto game = std::make_unique<Game>();
  Game& g = *game;
  long_trail(g, 2);
  g.KU = 1;
  EventState before = event_state(g);
  for (auto _ : state) {
    const EventState after = event_state(g);
    benchmark::DoNotOptimize(events_between(before, after, false));
    before = after;
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_SoundEventsPerPass);

}  // namespace
}  // namespace tervalon::test
