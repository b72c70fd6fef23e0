// The scaler: whole factors write each picture row's first window row once
// and copy it k - 1 times; only a shrunk picture maps every pixel by division.
#include "display/scaler.h"

#include <algorithm>
#include <cstring>

namespace display {

namespace {

template <bool Swap>
inline std::uint32_t convert(std::uint32_t p) {
  if constexpr (Swap)
    return 0xFF000000u | (p & 0x00FF00u) | ((p & 0xFFu) << 16) | ((p >> 16) & 0xFFu);
  else
    return 0xFF000000u | (p & 0xFFFFFFu);
}

template <bool Swap>
void scale(const std::uint32_t* from, std::uint32_t pw, std::uint32_t ph, Placement where, const WindowPixels& to,
           std::uint32_t background) {
  const std::uint32_t bg = convert<Swap>(background);
  auto row = [&](std::uint32_t y) {
    return reinterpret_cast<std::uint32_t*>(reinterpret_cast<std::uint8_t*>(to.pixels) + y * to.pitch);
  };
  // The visible part of the placement: columns x0..x1, rows y0..y1.
  const std::uint32_t x0 = std::min(where.x, to.w), y0 = std::min(where.y, to.h);
  const auto x1 = static_cast<std::uint32_t>(std::min<std::uint64_t>(std::uint64_t{where.x} + where.w, to.w));
  const auto y1 = static_cast<std::uint32_t>(std::min<std::uint64_t>(std::uint64_t{where.y} + where.h, to.h));
  const bool empty = !from || pw == 0 || ph == 0 || x0 >= x1 || y0 >= y1;
  auto borders = [&](std::uint32_t* d) {
    std::fill(d, d + x0, bg);
    std::fill(d + x1, d + to.w, bg);
  };
  for (std::uint32_t y = 0; y < (empty ? to.h : y0); ++y) std::fill(row(y), row(y) + to.w, bg);
  if (empty) return;

  const std::uint32_t k = where.w / pw;
  if (k >= 1 && where.w == k * pw && where.h == k * ph) {
    for (std::uint32_t y = y0; y < y1; y += k) {
      const std::uint32_t* src = from + std::size_t{(y - where.y) / k} * pw;
      std::uint32_t* d = row(y);
      borders(d);
      if (k == 1) {
        for (std::uint32_t x = x0; x < x1; ++x) d[x] = convert<Swap>(src[x - where.x]);
      } else {
        // x0 is where.x here: the picture's left edge is never cut off.
        for (std::uint32_t x = x0, sx = 0; x < x1; ++sx) {
          const std::uint32_t p = convert<Swap>(src[sx]);
          for (const std::uint32_t end = std::min(x + k, x1); x < end; ++x) d[x] = p;
        }
      }
      for (std::uint32_t r = 1; r < k && y + r < y1; ++r) std::memcpy(row(y + r), d, std::size_t{to.w} * 4);
    }
  } else {
    for (std::uint32_t y = y0; y < y1; ++y) {
      const std::uint32_t* src = from + std::uint64_t{y - where.y} * ph / where.h * pw;
      std::uint32_t* d = row(y);
      borders(d);
      for (std::uint32_t x = x0; x < x1; ++x) d[x] = convert<Swap>(src[std::uint64_t{x - where.x} * pw / where.w]);
    }
  }
  for (std::uint32_t y = y1; y < to.h; ++y) std::fill(row(y), row(y) + to.w, bg);
}

}  // namespace

std::uint32_t whole_factor(std::uint32_t w, std::uint32_t h, std::int64_t area_w, std::int64_t area_h) {
  if (w == 0 || h == 0) return 1;
  return static_cast<std::uint32_t>(std::max<std::int64_t>(1, std::min(area_w / w, area_h / h)));
}

Placement fit_picture(std::uint32_t pw, std::uint32_t ph, std::uint32_t ww, std::uint32_t wh) {
  if (pw == 0 || ph == 0 || ww == 0 || wh == 0) return {0, 0, 0, 0};
  std::uint64_t w = pw, h = ph;
  if (pw <= ww && ph <= wh) {
    const std::uint32_t k = whole_factor(pw, ph, ww, wh);
    w *= k;
    h *= k;
  } else if (std::uint64_t{ww} * ph <= std::uint64_t{wh} * pw) {  // the width limits
    w = ww;
    h = std::max<std::uint64_t>(1, std::uint64_t{ph} * ww / pw);
  } else {
    h = wh;
    w = std::max<std::uint64_t>(1, std::uint64_t{pw} * wh / ph);
  }
  return {static_cast<std::uint32_t>((ww - w) / 2), static_cast<std::uint32_t>((wh - h) / 2),
          static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h)};
}

void scale_picture(const std::uint32_t* from, std::uint32_t pw, std::uint32_t ph, Placement where,
                   const WindowPixels& to, std::uint32_t background, bool swap_red_blue) {
  if (swap_red_blue)
    scale<true>(from, pw, ph, where, to, background);
  else
    scale<false>(from, pw, ph, where, to, background);
}

}  // namespace display
