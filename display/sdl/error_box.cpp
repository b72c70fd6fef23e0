// The run-time error's box, drawn with the library's own surfaces and text in a plain SDL window, so
// that it shows on any X server or desktop whatever helpers or fonts it has.
#include <SDL.h>

#include <algorithm>
#include <vector>

#include "base/runtime_error.h"
#include "display/sdl/present.h"
#include "display/sdl/window.h"
#include "display/surface.h"
#include "display/text.h"
#include "display/window.h"

namespace display {

namespace {

constexpr std::uint32_t BACKGROUND = 0xF0F0F0, INK = 0x202020, BUTTON = 0xDCDCDC, EDGE = 0x808080;
constexpr std::int32_t MARGIN = 16, BUTTON_W = 88, BUTTON_H = 28;

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  for (std::size_t nl; (nl = text.find('\n', at)) != std::string::npos; at = nl + 1)
    lines.push_back(text.substr(at, nl - at));
  if (at < text.size()) lines.push_back(text.substr(at));
  return lines;
}

// The box's picture: the lines top-left, the OK button centred below them.
// The picture is only as big as the screen; lines that do not fit are left out.
struct Layout {
  BITMAP picture;
  SDL_Rect ok;
};

void lay_out(Layout& box, std::vector<std::string> lines, const SDL_Rect& screen) {
  GETSTRINGSIZE("Ag");
  const std::int32_t line_h = std::max<std::int32_t>(STRZ.CY, 1);
  const std::int32_t room = std::max<std::int32_t>(screen.h - 80 - 3 * MARGIN - BUTTON_H, line_h);
  if (static_cast<std::int32_t>(lines.size()) * line_h > room) {
    lines.resize(static_cast<std::size_t>(room / line_h - 1));
    lines.push_back("  ...");
  }
  std::int32_t w = 2 * MARGIN + BUTTON_W * 3;
  for (const std::string& l : lines) {
    GETSTRINGSIZE(l);
    w = std::max(w, 2 * MARGIN + STRZ.CX);
  }
  w = std::min(w, std::max<std::int32_t>(screen.w - 40, 2 * MARGIN + BUTTON_W));
  const std::int32_t h = 3 * MARGIN + static_cast<std::int32_t>(lines.size()) * line_h + BUTTON_H;
  BITMAP& p = box.picture;
  p.WIDTH = static_cast<std::uint32_t>(w);
  p.HEIGHT = static_cast<std::uint32_t>(h);
  p.pixels.assign(std::size_t{p.WIDTH} * p.HEIGHT, BACKGROUND);
  for (std::size_t i = 0; i < lines.size(); ++i)
    DRAWTEXTXY(&p, lines[i], MARGIN, static_cast<std::uint32_t>(MARGIN + static_cast<std::int32_t>(i) * line_h), INK);
  box.ok = {(w - BUTTON_W) / 2, h - MARGIN - BUTTON_H, BUTTON_W, BUTTON_H};
  BAR(&p, box.ok.x, box.ok.y, box.ok.w, box.ok.h, EDGE);
  BAR(&p, box.ok.x + 1, box.ok.y + 1, box.ok.w - 2, box.ok.h - 2, BUTTON);
  GETSTRINGSIZE("OK");
  DRAWTEXTXY(&p, "OK", static_cast<std::uint32_t>(box.ok.x + (BUTTON_W - STRZ.CX) / 2),
             static_cast<std::uint32_t>(box.ok.y + (BUTTON_H - STRZ.CY) / 2), INK);
}

bool dismissed(const SDL_Event& e, Uint32 id, const SDL_Rect& ok) {
  switch (e.type) {
    case SDL_KEYDOWN: {
      const SDL_Keycode k = e.key.keysym.sym;
      return e.key.windowID == id && (k == SDLK_RETURN || k == SDLK_KP_ENTER || k == SDLK_ESCAPE || k == SDLK_SPACE);
    }
    case SDL_MOUSEBUTTONUP: {
      const SDL_Point at{e.button.x, e.button.y};
      return e.button.windowID == id && e.button.button == SDL_BUTTON_LEFT && SDL_PointInRect(&at, &ok);
    }
    case SDL_WINDOWEVENT: return e.window.windowID == id && e.window.event == SDL_WINDOWEVENT_CLOSE;
    default: return false;
  }
}

// The box on this thread, which from now on is the one that uses SDL video.
// A lost display ends the process from inside the wait for events.
void box_here(const std::string& text) {
  std::string why;
  if (!sdl_backend().start(why)) return;
  SDL_Rect screen{0, 0, 1024, 768};
  SDL_GetDisplayBounds(0, &screen);
  Layout box;
  lay_out(box, lines_of(text), screen);
  SDL_SetHint(SDL_HINT_X11_WINDOW_TYPE, "_NET_WM_WINDOW_TYPE_DIALOG");
  SDL_Window* window = SDL_CreateWindow("Error", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                        static_cast<int>(box.picture.WIDTH), static_cast<int>(box.picture.HEIGHT),
                                        SDL_WINDOW_ALWAYS_ON_TOP);
  if (!window) return;
  const Uint32 id = SDL_GetWindowID(window);
  SDL_RaiseWindow(window);
  SDL_SetWindowInputFocus(window);
  Presenter shown;
  shown.open(window, BACKGROUND, false);
  shown.show({box.picture.pixels.data(), box.picture.WIDTH, box.picture.HEIGHT});
  for (;;) {
    SDL_Event e;
    if (!SDL_WaitEventTimeout(&e, 250)) continue;
    if (dismissed(e, id, box.ok)) break;
    if (e.type == SDL_WINDOWEVENT && e.window.windowID == id &&
        (e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SHOWN)) {
      if (e.window.event == SDL_WINDOWEVENT_SHOWN) {
        SDL_RaiseWindow(window);
        SDL_SetWindowInputFocus(window);
      }
      shown.show_again();
    }
  }
  SDL_DestroyWindow(window);
}

// Shows `text` in a window captioned "Error", centred on the screen, with an
// OK button, and returns once the player dismissed it (Enter, Escape, Space,
// OK or the close button); at once when there is no display. Runs on the
// window thread while one runs (it owns the platform's video), else on the
// calling thread.
void show_error_box(const std::string& text) {
  if (!run_on_window_thread(box_here, text)) box_here(text);
}

}  // namespace

void use_error_box() { base::set_error_box(show_error_box); }

}  // namespace display
