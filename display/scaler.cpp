// The scaler: each picture row is written once, into the first window row that shows it, and
// copied into the others; whole factors repeat each pixel k times, any other factor looks up a
// column table made once per pass from the runs, with no division per pixel.
#include "display/scaler.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace display {

namespace {

template <bool Swap>
inline std::uint32_t convert(std::uint32_t p) {
  if constexpr (Swap)
    return 0xFF000000u | (p & 0x00FF00u) | ((p & 0xFFu) << 16) | ((p >> 16) & 0xFFu);
  else
    return 0xFF000000u | (p & 0xFFFFFFu);
}

// Where the runs of a placement `size` pixels long begin, for a picture `n`
// pixels long: pixel i's run begins at ceil(i * size / n), the first window
// pixel c with c * n / size >= i. The quotient and remainder of i * size / n
// move on by those of size / n at each step.
class Runs {
 public:
  Runs(std::uint32_t n, std::uint32_t size, std::uint32_t i)
      : n_(n),
        step_(size / n),
        carry_(size % n),
        whole_(std::uint64_t{i} * size / n),
        rest_(std::uint64_t{i} * size % n) {}
  // Where the current pixel's run begins, from the placement's edge.
  std::uint64_t begin() const { return whole_ + (rest_ != 0); }
  void next() {
    whole_ += step_;
    rest_ += carry_;
    if (rest_ >= n_) {
      rest_ -= n_;
      ++whole_;
    }
  }

 private:
  std::uint64_t n_, step_, carry_, whole_, rest_;
};

template <bool Swap>
void scale_rows(const std::uint32_t* from, std::uint32_t pw, std::uint32_t ph, Placement where, const WindowPixels& to,
                std::uint32_t bg, std::uint32_t top, std::uint32_t bottom) {
  auto row = [&](std::uint64_t y) {
    return reinterpret_cast<std::uint32_t*>(reinterpret_cast<std::uint8_t*>(to.pixels) + y * to.pitch);
  };
  // The visible part of the placement: columns x0..x1, rows up to y1. The
  // placement's left and top edges are never cut off.
  const std::uint32_t x0 = where.x;
  const auto x1 = static_cast<std::uint32_t>(std::min<std::uint64_t>(std::uint64_t{where.x} + where.w, to.w));
  const std::uint64_t y1 = std::min<std::uint64_t>(std::uint64_t{where.y} + where.h, to.h);
  const std::uint32_t k = where.w / pw;
  const bool whole = k >= 1 && where.w == k * pw && where.h == k * ph;
  // Any other factor: the picture column each visible window column shows,
  // and the picture row converted once (faster than converting each run).
  thread_local std::vector<std::uint32_t> columns, converted;
  if (!whole) {
    converted.resize(pw);
    columns.resize(x1 - x0);
    Runs runs(pw, where.w, 0);
    for (std::uint32_t x = 0, sx = 0; x < x1 - x0; ++sx) {
      runs.next();
      for (const auto run_end = std::min<std::uint64_t>(runs.begin(), x1 - x0); x < run_end; ++x) columns[x] = sx;
    }
  }
  Runs rows(ph, where.h, top);
  std::uint64_t y = where.y + rows.begin();
  for (std::uint32_t sy = top; sy < bottom && y < y1; ++sy) {
    rows.next();
    const std::uint64_t end = std::min(where.y + rows.begin(), y1);
    if (y == end) continue;  // shrunk: no window row shows this picture row
    const std::uint32_t* src = from + std::size_t{sy} * pw;
    std::uint32_t* d = row(y);
    std::fill(d, d + x0, bg);
    std::fill(d + x1, d + to.w, bg);
    if (k == 1 && whole) {
      for (std::uint32_t x = x0; x < x1; ++x) d[x] = convert<Swap>(src[x - x0]);
    } else if (whole) {
      for (std::uint32_t x = x0, sx = 0; x < x1; ++sx) {
        const std::uint32_t p = convert<Swap>(src[sx]);
        for (const std::uint32_t run_end = std::min(x + k, x1); x < run_end; ++x) d[x] = p;
      }
    } else {
      std::uint32_t* t = converted.data();
      for (std::uint32_t sx = 0; sx < pw; ++sx) t[sx] = convert<Swap>(src[sx]);
      const std::uint32_t* c = columns.data();
      for (std::uint32_t x = x0; x < x1; ++x) d[x] = t[c[x - x0]];
    }
    for (std::uint64_t r = y + 1; r < end; ++r) std::memcpy(row(r), d, std::size_t{to.w} * 4);
    y = end;
  }
}

bool visible(const std::uint32_t* from, std::uint32_t pw, std::uint32_t ph, Placement where, const WindowPixels& to) {
  return from && pw && ph && where.w && where.h && where.x < to.w && where.y < to.h;
}

template <bool Swap>
void scale(const std::uint32_t* from, std::uint32_t pw, std::uint32_t ph, Placement where, const WindowPixels& to,
           std::uint32_t background) {
  const std::uint32_t bg = convert<Swap>(background);
  auto fill_rows = [&](std::uint64_t y, std::uint64_t end) {
    for (; y < end; ++y) {
      auto* d = reinterpret_cast<std::uint32_t*>(reinterpret_cast<std::uint8_t*>(to.pixels) + y * to.pitch);
      std::fill(d, d + to.w, bg);
    }
  };
  if (!visible(from, pw, ph, where, to)) return fill_rows(0, to.h);
  fill_rows(0, where.y);
  scale_rows<Swap>(from, pw, ph, where, to, bg, 0, ph);
  fill_rows(std::min<std::uint64_t>(std::uint64_t{where.y} + where.h, to.h), to.h);
}

}  // namespace

std::uint32_t whole_factor(std::uint32_t w, std::uint32_t h, std::int64_t area_w, std::int64_t area_h) {
  if (w == 0 || h == 0) return 1;
  return static_cast<std::uint32_t>(std::max<std::int64_t>(1, std::min(area_w / w, area_h / h)));
}

Placement fit_picture(std::uint32_t pw, std::uint32_t ph, std::uint32_t ww, std::uint32_t wh, bool fit) {
  if (pw == 0 || ph == 0 || ww == 0 || wh == 0) return {0, 0, 0, 0};
  std::uint64_t w = pw, h = ph;
  if (!fit && pw <= ww && ph <= wh) {
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

std::uint32_t window_row(std::uint32_t ph, Placement where, std::uint32_t row) {
  if (ph == 0) return where.y;
  return static_cast<std::uint32_t>(where.y + Runs(ph, where.h, row).begin());
}

void scale_picture_rows(const std::uint32_t* from, std::uint32_t pw, std::uint32_t ph, Placement where,
                        const WindowPixels& to, std::uint32_t background, bool swap_red_blue, std::uint32_t top,
                        std::uint32_t bottom) {
  if (!visible(from, pw, ph, where, to)) return;
  bottom = std::min(bottom, ph);
  if (swap_red_blue)
    scale_rows<true>(from, pw, ph, where, to, convert<true>(background), top, bottom);
  else
    scale_rows<false>(from, pw, ph, where, to, convert<false>(background), top, bottom);
}

}  // namespace display
