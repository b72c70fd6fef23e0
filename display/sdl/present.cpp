// Pictures into an SDL window's own surface, converted and scaled in one pass.
#include "display/sdl/present.h"

#include <algorithm>
#include <cstdint>

namespace display {

void Presenter::open(SDL_Window* window, std::uint32_t background, bool scaled, bool fit) {
  window_ = window;
  background_ = background;
  scaled_ = scaled;
  fit_ = fit;
  last_ = {nullptr, 0, 0};
  drawn_ = {};
  show(last_);
}

void Presenter::resized() {
  shown_.surface = nullptr;  // SDL makes the window a new surface
  if (scaled_) show(last_);  // the same picture, scaled to the new size
}

void Presenter::show(const Picture& picture) {
  SDL_Surface* s = SDL_GetWindowSurface(window_);
  const bool redraw_all = !picture.rows || !s || s != shown_.surface || picture.w != last_.w || picture.h != last_.h;
  last_ = {picture.pixels, picture.w, picture.h};
  shown_.surface = nullptr;  // until it holds this picture
  if (!s) return;
  const auto ww = static_cast<std::uint32_t>(s->w), wh = static_cast<std::uint32_t>(s->h);
  const Placement where = scaled_ ? fit_picture(picture.w, picture.h, ww, wh, fit_)
                                  : Placement{0, 0, picture.w, picture.h};
  if (picture.pixels) drawn_ = {picture.w, picture.h, where};
  const std::uint32_t bg = (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN) ? 0 : background_;
  const Uint32 format = s->format->format;
  if (format == SDL_PIXELFORMAT_XRGB8888 || format == SDL_PIXELFORMAT_ARGB8888 || format == SDL_PIXELFORMAT_XBGR8888 ||
      format == SDL_PIXELFORMAT_ABGR8888) {
    // The usual X11 window format trades red and blue: done in the same
    // pass that scales, one write per window pixel.
    const bool swap = format == SDL_PIXELFORMAT_XRGB8888 || format == SDL_PIXELFORMAT_ARGB8888;
    const WindowPixels to{static_cast<std::uint32_t*>(s->pixels), ww, wh, static_cast<std::size_t>(s->pitch)};
    const bool inside = where.w && where.h && where.x + where.w <= ww && where.y + where.h <= wh;
    if (!redraw_all && inside && bg == shown_.background) {
      show_rows(picture, where, to, bg, swap);
    } else {
      scale_picture(picture.pixels, picture.w, picture.h, where, to, bg, swap);
      SDL_UpdateWindowSurface(window_);
    }
  } else {
    // Any other window format: SDL's general converter and scaler.
    SDL_FillRect(s, nullptr, SDL_MapRGB(s->format, bg & 255, (bg >> 8) & 255, (bg >> 16) & 255));
    SDL_Surface* from = picture.pixels ? SDL_CreateRGBSurfaceWithFormatFrom(
                                             const_cast<std::uint32_t*>(picture.pixels), static_cast<int>(picture.w),
                                             static_cast<int>(picture.h), 32, static_cast<int>(picture.w * 4),
                                             SDL_PIXELFORMAT_XBGR8888)
                                       : nullptr;
    if (from) {
      SDL_Rect to{static_cast<int>(where.x), static_cast<int>(where.y), static_cast<int>(where.w),
                  static_cast<int>(where.h)};
      SDL_BlitScaled(from, nullptr, s, &to);
      SDL_FreeSurface(from);
    }
    SDL_UpdateWindowSurface(window_);
  }
  shown_ = {s, bg};
}

// Window column c shows picture column (c - where.x) * pw / where.w (whole
// factors and any other included), rounded down: this is its inverse, left
// of the picture as well.
void Presenter::to_picture(std::int32_t& x, std::int32_t& y) const {
  const Placement& where = drawn_.where;
  if (!scaled_ || where.w == 0 || where.h == 0) return;
  auto back = [](std::int32_t v, std::uint32_t at, std::uint32_t size, std::uint32_t picture) {
    const std::int64_t n = (std::int64_t{v} - at) * picture;
    const std::int64_t q = n >= 0 ? n / size : -((-n + size - 1) / size);
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(q, INT32_MIN, INT32_MAX));
  };
  x = back(x, where.x, where.w, drawn_.w);
  y = back(y, where.y, where.h, drawn_.h);
}

// The window still shows the picture before this one, placed the same way
// and wholly inside: only the window rows that show changed picture rows
// are converted and sent to the X server.
void Presenter::show_rows(const Picture& picture, const Placement& where, const WindowPixels& to, std::uint32_t bg,
                          bool swap) {
  rects_.clear();
  picture.rows->for_each_run([&](std::uint32_t top, std::uint32_t bottom) {
    const std::uint32_t band_y = window_row(picture.h, where, top), band_end = window_row(picture.h, where, bottom);
    if (band_y == band_end) return;  // shrunk: none of these rows is shown
    scale_picture_rows(picture.pixels, picture.w, picture.h, where, to, bg, swap, top, bottom);
    rects_.push_back({static_cast<int>(where.x), static_cast<int>(band_y), static_cast<int>(where.w),
                      static_cast<int>(band_end - band_y)});
  });
  if (!rects_.empty()) SDL_UpdateWindowSurfaceRects(window_, rects_.data(), static_cast<int>(rects_.size()));
}

}  // namespace display
