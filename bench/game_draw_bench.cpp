// Composing one frame (DRAWALL without presenting it) at 640 x 480 and at the
// largest board, 2540 x 2540, during play and during a fade, beside a plain
// memcpy of the same frame: the floor any composition has to stand on. Play
// includes the check of every board cell against the board picture's copy.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "draw.h"
#include "rules.h"
#include "support.h"
#include "window.h"
#include "window_setup.h"

namespace tervalon::test {
namespace {

// A board of w x h cells with a floor every fourth row, walls at intervals
// and a trail of 1,000 points (6 ghosts) winding through it.
void open_board(int w, int h) {
  static int open_w = 0, open_h = 0;
  if (open_w == w && open_h == h) return;
  auto rows = room(w, h, 2, h - 2, w - 3, h - 2);
  for (int y = 4; y < h - 1; y += 4)
    for (int x = 1; x < w - 1; ++x)
      if ((x / 5) % 2 == 0) rows[y][x] = 'x';
  if (open_w != 0) display::CLOSEWIN();
  start({{1, rows}, {1, rows}}, 1, 1);
  display::use_headless_backend();
  INITWIN();
  for (std::uint32_t i = 0; i <= 1000; ++i) {
    STPX[1][i] = 40.0 + (i % 500);
    STPY[1][i] = 60.0 + (i / 5 % 40);
  }
  STPN[1] = 1000;
  STEXT[1][1][1] = "\xE5\x9B\x9E\xE5\xAE\xB6\xE7\x9A\x84\xE8\xB7\xAF";
  STEXT[1][1][3] = "The way home.";
  open_w = w;
  open_h = h;
}

void compose(benchmark::State& state, bool fading) {
  open_board(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  PAUSE = 0;
  CTEMP = 0;
  CTEXT = 255;
  if (fading) {
    PAUSE = 1;
    fade_step();  // picks the text
    CTEMP = 128;
    CTEXT = 127;
  }
  for (auto _ : state) {
    compose_frame();
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * W * H * 4);
}

void BM_ComposePlay(benchmark::State& state) { compose(state, false); }
void BM_ComposeFade(benchmark::State& state) { compose(state, true); }

void BM_MemcpyFrame(benchmark::State& state) {
  std::size_t n = static_cast<std::size_t>(state.range(0)) * state.range(1) * 20 * 20;
  std::vector<std::uint32_t> a(n, 0xFFFFFF), b(n);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), n * 4);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * n * 4);
}

// Board sizes in cells: 32 x 24 is 640 x 480, 127 x 127 is 2540 x 2540.
#define SIZES Args({32, 24})->Args({127, 127})
BENCHMARK(BM_MemcpyFrame)->SIZES;
BENCHMARK(BM_ComposePlay)->SIZES;
BENCHMARK(BM_ComposeFade)->SIZES;

}  // namespace
}  // namespace tervalon::test
