// Scaled presentation: where a picture goes in a window of another size, and one pass that
// writes every window pixel (the picture by nearest pixel, the rest background); pure functions.
#pragma once

#include <cstddef>
#include <cstdint>

namespace display {

// A rectangle of the window. x and y are never negative; w and h may reach
// past the window's edges, where the picture is cut off.
struct Placement {
  std::uint32_t x, y, w, h;
};

// The largest whole k >= 1 for which k w x k h fits in area_w x area_h; 1
// when none does (or the picture is empty). Any thread.
std::uint32_t whole_factor(std::uint32_t w, std::uint32_t h, std::int64_t area_w, std::int64_t area_h);

// Where a pw x ph picture goes in a ww x wh window: scaled by the largest
// whole factor that fits, centred; when even factor 1 does not fit, shrunk to
// fit (at least 1 x 1) keeping its aspect ratio, centred. With `fit`, always
// as large as fits keeping the aspect ratio (any factor, whole or not): it
// fills the window's width or height, centred on the other. Any thread.
Placement fit_picture(std::uint32_t pw, std::uint32_t ph, std::uint32_t ww, std::uint32_t wh, bool fit = false);

// The window's pixels, 32 bits each, `pitch` bytes from one row to the next.
struct WindowPixels {
  std::uint32_t* pixels;
  std::uint32_t w, h;
  std::size_t pitch;
};

// Writes every window pixel exactly once: the pw x ph picture `from`
// (0x00BBGGRR) stretched by nearest pixel onto `where`, every other pixel
// `background` (0x00BBGGRR). Window pixel (x, y) of the placement shows
// picture pixel ((x - where.x) * pw / where.w, (y - where.y) * ph / where.h),
// rounded down: at a factor that is not whole, neighbouring picture pixels
// get runs of window pixels whose lengths differ by at most one. Pixels are
// written as 0xFFBBGGRR, or as 0xFFRRGGBB (the usual X11 window format) with
// `swap_red_blue`. Any thread.
void scale_picture(const std::uint32_t* from, std::uint32_t pw, std::uint32_t ph, Placement where,
                   const WindowPixels& to, std::uint32_t background, bool swap_red_blue);

// The first window row that shows picture row `row` of a picture ph rows
// high placed at `where`; with row ph, the row below the placement. Any thread.
std::uint32_t window_row(std::uint32_t ph, Placement where, std::uint32_t row);

// Writes, as scale_picture would, only the window rows that show picture rows
// top..bottom - 1 (window_row(top) to window_row(bottom), cut off at the
// window's bottom), background beside the picture included. Nothing when the
// picture or its visible part is empty. Any thread.
void scale_picture_rows(const std::uint32_t* from, std::uint32_t pw, std::uint32_t ph, Placement where,
                        const WindowPixels& to, std::uint32_t background, bool swap_red_blue, std::uint32_t top,
                        std::uint32_t bottom);

}  // namespace display
