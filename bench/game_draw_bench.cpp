// Composing one frame (DRAWALL without presenting it) at 640 x 480 and at the
// largest board, 2540 x 2540, during play and during a fade, beside a plain
// memcpy of the same frame: the floor any composition has to stand on. Play
// includes the check of every board cell against the board picture's copy.
// And the pause menu drawn over the frame, as a paused game draws it.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "display/window.h"
#include "game/rules/rules.h"
#include "game/view/draw.h"
#include "game/view/menu.h"
#include "game/view/window_setup.h"
#include "tests/game/support.h"

namespace tervalon::test {
namespace {

// A board of w x h cells with a floor every fourth row, walls at intervals
// and a trail of 1,000 points (6 ghosts) winding through it.
// The game and view every benchmark composes, and the board they are on.
struct Board {
  std::unique_ptr<Game> game = std::make_unique<Game>();
  View view;
  int w = 0, h = 0;
};

Board& open_board(int w, int h) {
  static Board b;
  Game& g = *b.game;
  if (b.w == w && b.h == h) return b;
  auto rows = room(w, h, 2, h - 2, w - 3, h - 2);
  for (int y = 4; y < h - 1; y += 4)
    for (int x = 1; x < w - 1; ++x)
      if ((x / 5) % 2 == 0) rows[y][x] = 'x';
  if (b.w != 0) display::CLOSEWIN();
  start(g, {{1, rows}, {1, rows}}, 1, 1);
  display::use_headless_backend();
  INITWIN(g, b.view);
  for (std::uint32_t i = 0; i <= 1000; ++i) {
    g.STPX[1][i] = 40.0 + (i % 500);
    g.STPY[1][i] = 60.0 + (i / 5 % 40);
  }
  g.STPN[1] = 1000;
  g.STEXT[1][1][1] = "\xE5\x9B\x9E\xE5\xAE\xB6\xE7\x9A\x84\xE8\xB7\xAF";
  g.STEXT[1][1][3] = "The way home.";
  b.w = w;
  b.h = h;
  return b;
}

void compose(benchmark::State& state, bool fading) {
  Board& b = open_board(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  Game& g = *b.game;
  g.PAUSE = 0;
  g.CTEMP = 0;
  g.CTEXT = 255;
  if (fading) {
    g.PAUSE = 1;
    fade_step(g);  // picks the text
    g.CTEMP = 128;
    g.CTEXT = 127;
  }
  for (auto _ : state) {
    compose_frame(g, b.view);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * g.W * g.H * 4);
}

void BM_ComposePlay(benchmark::State& state) { compose(state, false); }
void BM_ComposeFade(benchmark::State& state) { compose(state, true); }

// The pause picture over the frame and presented, after the frame's own
// composition: what a paused game draws every frame.
void BM_ComposeWithMenu(benchmark::State& state) {
  Board& b = open_board(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  Game& g = *b.game;
  g.PAUSE = 0;
  g.CTEMP = 0;
  g.CTEXT = 255;
  Menu m{"\xE6\x9A\x82\xE5\x81\x9C", "Paused", {"Arrows or A/D move, Up/W/Space jumps.", "Esc resumes."}, {}, 1};
  for (const char* en : {"Resume", "Restart level", "Restart the journey", "Practice", "Quit"})
    m.items.push_back({"", en});
  for (auto _ : state) {
    compose_frame(g, b.view);
    draw_menu(g, b.view, m);
    display::FRESHWIN();
    benchmark::ClobberMemory();
  }
}

void BM_MemcpyFrame(benchmark::State& state) {
  std::size_t n = static_cast<std::size_t>(state.range(0)) * state.range(1) * 20 * 20;
  std::vector<std::uint32_t> a(n, 0xFFFFFF), b(n);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), n * 4);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(n) * 4);
}

// Board sizes in cells: 32 x 24 is 640 x 480, 127 x 127 is 2540 x 2540.
#define SIZES Args({32, 24})->Args({127, 127})
BENCHMARK(BM_MemcpyFrame)->SIZES;
BENCHMARK(BM_ComposePlay)->SIZES;
BENCHMARK(BM_ComposeFade)->SIZES;
BENCHMARK(BM_ComposeWithMenu)->SIZES;

}  // namespace
}  // namespace tervalon::test
