// The yardstick for bench/latency: about the smallest SDL2 program a game could
// be. One thread moves a box 4 pixels a frame while an arrow key is held, and
// redraws the 640 x 480 window surface 60 times a second.
#include <SDL.h>

int main(int, char**) {
  // The window surface as plain shared memory, as the game has it.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  if (SDL_Init(SDL_INIT_VIDEO) != 0) return 1;
  SDL_Window* window = SDL_CreateWindow("reference", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 640, 480, 0);
  if (!window) return 1;
  int x = 312, left = 0, right = 0;
  const Uint64 freq = SDL_GetPerformanceFrequency();
  Uint64 next = SDL_GetPerformanceCounter();
  for (;;) {
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
      if (e.type == SDL_QUIT) return 0;
      if (e.type == SDL_KEYDOWN || e.type == SDL_KEYUP) {
        const int down = e.type == SDL_KEYDOWN;
        if (e.key.keysym.sym == SDLK_LEFT) left = down;
        if (e.key.keysym.sym == SDLK_RIGHT) right = down;
        if (e.key.keysym.sym == SDLK_ESCAPE) return 0;
      }
    }
    x = (x + 4 * (right - left) + 640) % 640;
    SDL_Surface* s = SDL_GetWindowSurface(window);
    SDL_FillRect(s, nullptr, SDL_MapRGB(s->format, 255, 255, 255));
    SDL_Rect box{x, 222, 16, 36};
    SDL_FillRect(s, &box, SDL_MapRGB(s->format, 0, 0, 255));
    SDL_UpdateWindowSurface(window);
    next += freq / 60;
    const Uint64 now = SDL_GetPerformanceCounter();
    if (next > now)
      SDL_Delay(static_cast<Uint32>((next - now) * 1000 / freq));
    else
      next = now;
  }
}
