// Pictures into an SDL window's own surface, scaled and converted in one pass, only the changed rows
// where the window still shows the picture before. Window thread.
#pragma once

#include <SDL.h>

#include <vector>

#include "display/backend.h"
#include "display/scaler.h"

namespace display {

class Presenter {
 public:
  // A new window, showing `background` (0x00BBGGRR) until the first picture
  // and around the pictures (black in full screen); `scaled`: pictures of a
  // fixed size, scaled to the window (with `fit` as large as fits, at any factor).
  void open(SDL_Window* window, std::uint32_t background, bool scaled, bool fit = false);
  void show(const Picture& picture);
  // The last picture again, whole: full screen on or off, or the window exposed.
  void show_again() { show(last_); }
  // After a new client size.
  void resized();
  // The window pixel (x, y) as the pixel of the picture shown there, by the
  // same nearest-pixel mapping the picture was drawn with: outside the
  // picture it is negative or at least the picture's size. Unchanged where
  // pictures are not scaled, and before the first picture.
  void to_picture(std::int32_t& x, std::int32_t& y) const;

 private:
  void show_rows(const Picture& picture, const Placement& where, const WindowPixels& to, std::uint32_t bg, bool swap);

  SDL_Window* window_ = nullptr;
  std::uint32_t background_ = 0;
  bool scaled_ = false, fit_ = false;
  Picture last_{nullptr, 0, 0};
  // The last picture drawn: its size and where it went (w 0: none yet).
  struct {
    std::uint32_t w = 0, h = 0;
    Placement where{0, 0, 0, 0};
  } drawn_;
  // The window surface that holds last_ whole, and the background around it.
  struct {
    SDL_Surface* surface = nullptr;
    std::uint32_t background = 0;
  } shown_;
  std::vector<SDL_Rect> rects_;  // show_rows()
};

}  // namespace display
