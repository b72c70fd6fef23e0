// Each surface operation the game makes per frame, at 640 x 480 and 2540 x 2540:
// ours, SDL's software blitter doing the same work, and memcpy of the same bytes.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstring>

#include "display/display.h"

using namespace display;

namespace {

void open_window(std::uint32_t w, std::uint32_t h) {
  static bool opened = false;
  if (opened) {
    inject_resize(w, h);
  } else {
    use_headless_backend();
    CREATEWIN(w, h, BLACK, WHITE);
    opened = true;
  }
  CLEAR();
}

SDL_Surface* sdl_surface(int w, int h, Uint32 fill) {
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_XBGR8888);
  SDL_FillRect(s, nullptr, fill);
  return s;
}

void size_args(benchmark::internal::Benchmark* b) { b->Args({640, 480})->Args({2540, 2540}); }

void bytes(benchmark::State& state, std::int64_t per_iteration) {
  state.SetBytesProcessed(state.iterations() * per_iteration);
}

// BAR on the main surface: a full-surface fill.
void Ours_Bar(benchmark::State& state) {
  const auto w = static_cast<std::uint32_t>(state.range(0)), h = static_cast<std::uint32_t>(state.range(1));
  open_window(w, h);
  for (auto _ : state) {
    BAR(0, 0, static_cast<std::int32_t>(w), static_cast<std::int32_t>(h), GRAY);
    benchmark::ClobberMemory();
  }
  bytes(state, std::int64_t{w} * h * 4);
}
void Sdl_FillRect(benchmark::State& state) {
  SDL_Surface* s = sdl_surface(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), 0);
  for (auto _ : state) {
    SDL_FillRect(s, nullptr, GRAY);
    benchmark::ClobberMemory();
  }
  bytes(state, std::int64_t{s->w} * s->h * 4);
  SDL_FreeSurface(s);
}

// CLEAR of the main surface.
void Ours_Clear(benchmark::State& state) {
  const auto w = static_cast<std::uint32_t>(state.range(0)), h = static_cast<std::uint32_t>(state.range(1));
  open_window(w, h);
  for (auto _ : state) {
    CLEAR();
    benchmark::ClobberMemory();
  }
  bytes(state, std::int64_t{w} * h * 4);
}

// Keyed opaque copy of a 20 x 20 tile, tiled over the whole surface.
void Ours_KeyedTiles(benchmark::State& state) {
  const auto w = static_cast<std::uint32_t>(state.range(0)), h = static_cast<std::uint32_t>(state.range(1));
  open_window(w, h);
  PBITMAP tile = CREATEBMP(20, 20, WHITE);
  BAR(tile, 4, 4, 12, 12, GRAY);
  for (auto _ : state) {
    for (std::uint32_t y = 0; y + 20 <= h; y += 20)
      for (std::uint32_t x = 0; x + 20 <= w; x += 20) DRAWBMP(tile, x, y);
    benchmark::ClobberMemory();
  }
  bytes(state, std::int64_t{w / 20} * (h / 20) * 400 * 4);
  RELEASEBMP(tile);
}
void Sdl_KeyedTiles(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  SDL_Surface* dst = sdl_surface(w, h, WHITE);
  SDL_Surface* tile = sdl_surface(20, 20, WHITE);
  SDL_Rect inner{4, 4, 12, 12};
  SDL_FillRect(tile, &inner, GRAY);
  SDL_SetColorKey(tile, SDL_TRUE, WHITE);
  for (auto _ : state) {
    for (int y = 0; y + 20 <= h; y += 20)
      for (int x = 0; x + 20 <= w; x += 20) {
        SDL_Rect at{x, y, 20, 20};
        SDL_BlitSurface(tile, nullptr, dst, &at);
      }
    benchmark::ClobberMemory();
  }
  bytes(state, std::int64_t{w / 20} * (h / 20) * 400 * 4);
  SDL_FreeSurface(tile);
  SDL_FreeSurface(dst);
}

// A full-surface keyed translucent copy (the interlude's fade).
void Ours_Translucent(benchmark::State& state) {
  const auto w = static_cast<std::uint32_t>(state.range(0)), h = static_cast<std::uint32_t>(state.range(1));
  open_window(w, h);
  PBITMAP page = CREATEBMP();
  CLEAR(page, NAVY);
  BAR(page, 10, 10, 100, 100, 1, 1);
  for (auto _ : state) {
    DRAWBMP(page, 0x80000000u);
    benchmark::ClobberMemory();
  }
  bytes(state, std::int64_t{w} * h * 4);
  RELEASEBMP(page);
}
void Sdl_Translucent(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  SDL_Surface* dst = sdl_surface(w, h, WHITE);
  SDL_Surface* page = sdl_surface(w, h, NAVY);
  SDL_SetColorKey(page, SDL_TRUE, 0);
  SDL_SetSurfaceAlphaMod(page, 127);
  SDL_SetSurfaceBlendMode(page, SDL_BLENDMODE_BLEND);
  for (auto _ : state) {
    SDL_BlitSurface(page, nullptr, dst, nullptr);
    benchmark::ClobberMemory();
  }
  bytes(state, std::int64_t{w} * h * 4);
  SDL_FreeSurface(page);
  SDL_FreeSurface(dst);
}

// The physical floor: copying the same bytes.
void Memcpy(benchmark::State& state) {
  const std::size_t n = static_cast<std::size_t>(state.range(0) * state.range(1));
  std::vector<std::uint32_t> a(n, 1), b(n, 2);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), n * 4);
    benchmark::ClobberMemory();
  }
  bytes(state, static_cast<std::int64_t>(n * 4));
}

BENCHMARK(Ours_Bar)->Apply(size_args);
BENCHMARK(Sdl_FillRect)->Apply(size_args);
BENCHMARK(Ours_Clear)->Apply(size_args);
BENCHMARK(Ours_KeyedTiles)->Apply(size_args);
BENCHMARK(Sdl_KeyedTiles)->Apply(size_args);
BENCHMARK(Ours_Translucent)->Apply(size_args);
BENCHMARK(Sdl_Translucent)->Apply(size_args);
BENCHMARK(Memcpy)->Apply(size_args);

}  // namespace
