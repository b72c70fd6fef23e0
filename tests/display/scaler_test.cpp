// The scaler: where a picture goes in windows of other sizes, and the pixels
// it writes (whole-factor blocks, shrinking, filling at any factor, borders,
// the red/blue swap, bands of rows).
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <vector>

#include "display/scaler.h"

namespace display {
bool operator==(const Placement& a, const Placement& b) { return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h; }
}  // namespace display

using namespace display;

namespace {

TEST(Scaler, PicturesGoCentredAtTheLargestWholeFactorOrShrunkToFit) {
  EXPECT_EQ(fit_picture(640, 480, 640, 480), (Placement{0, 0, 640, 480}));
  EXPECT_EQ(fit_picture(640, 480, 1280, 960), (Placement{0, 0, 1280, 960}));
  EXPECT_EQ(fit_picture(640, 480, 1000, 700), (Placement{180, 110, 640, 480}));
  EXPECT_EQ(fit_picture(640, 480, 1280, 1024), (Placement{0, 32, 1280, 960}));
  EXPECT_EQ(fit_picture(640, 480, 3840, 2160), (Placement{640, 120, 2560, 1920}));
  // Too small even for factor 1: the aspect ratio is kept.
  EXPECT_EQ(fit_picture(640, 480, 320, 480), (Placement{0, 120, 320, 240}));
  EXPECT_EQ(fit_picture(640, 480, 900, 240), (Placement{290, 0, 320, 240}));
  EXPECT_EQ(fit_picture(640, 480, 1, 1), (Placement{0, 0, 1, 1}));
  EXPECT_EQ(fit_picture(640, 480, 0, 0).w, 0u);
  // The opening window's factor: nine tenths of 1600 x 1000, 1920 x 1080, 3840 x 2160.
  EXPECT_EQ(whole_factor(640, 480, 1440, 900), 1u);
  EXPECT_EQ(whole_factor(640, 480, 1728, 972), 2u);
  EXPECT_EQ(whole_factor(640, 480, 3456, 1944), 4u);
  EXPECT_EQ(whole_factor(640, 480, 100, 100), 1u);
}

// A window of w x h with a row pitch wider than its width, filled with junk
// that the scaler must overwrite everywhere but in the spare pitch.
struct Window {
  std::uint32_t w, h, stride;
  std::vector<std::uint32_t> px;
  Window(std::uint32_t w_, std::uint32_t h_)
      : w(w_), h(h_), stride(w_ + 3), px(std::size_t{stride} * h_, 0x12345678u) {}
  WindowPixels pixels() { return {px.data(), w, h, std::size_t{stride} * 4}; }
  std::uint32_t at(std::uint32_t x, std::uint32_t y) const { return px[std::size_t{y} * stride + x]; }
};

TEST(Scaler, EachPictureBlockIsOnePixelAndTheRestBackground) {
  const std::vector<std::uint32_t> picture = {0x0000FF, 0x00FF00, 0xFF0000, 0x123456, 0x000001, 0xABCDEF};  // 3 x 2
  const std::uint32_t bg = 0x102030;
  for (bool swap : {false, true}) {
    auto as_written = [&](std::uint32_t c) {
      return 0xFF000000u | (swap ? ((c & 0xFF) << 16) | (c & 0xFF00) | (c >> 16) : c);
    };
    Window win(8, 7);  // factor 2 (6 x 4) at (1, 1)
    const Placement where = fit_picture(3, 2, win.w, win.h);
    ASSERT_EQ(where, (Placement{1, 1, 6, 4}));
    scale_picture(picture.data(), 3, 2, where, win.pixels(), bg, swap);
    for (std::uint32_t y = 0; y < win.h; ++y)
      for (std::uint32_t x = 0; x < win.w; ++x) {
        const bool inside = x >= 1 && x < 7 && y >= 1 && y < 5;
        const std::uint32_t want = inside ? picture[(y - 1) / 2 * 3 + (x - 1) / 2] : bg;
        EXPECT_EQ(win.at(x, y), as_written(want)) << x << "," << y << " swap " << swap;
      }
    EXPECT_EQ(win.at(win.w, 0), 0x12345678u) << "wrote past the row";
  }
  // Shrunk to 2 x 1 in a 2 x 3 window: nearest pixels, centred.
  Window small(2, 3);
  scale_picture(picture.data(), 3, 2, fit_picture(3, 2, 2, 3), small.pixels(), bg, false);
  EXPECT_EQ(small.at(0, 0), 0xFF000000u | bg);
  EXPECT_EQ(small.at(0, 1), 0xFF0000FFu);
  EXPECT_EQ(small.at(1, 1), 0xFF00FF00u);
  EXPECT_EQ(small.at(1, 2), 0xFF000000u | bg);
  // Shown 1:1 and larger than the window: cut off at the right and bottom.
  Window cut(2, 1);
  scale_picture(picture.data(), 3, 2, {0, 0, 3, 2}, cut.pixels(), bg, false);
  EXPECT_EQ(cut.at(0, 0), 0xFF0000FFu);
  EXPECT_EQ(cut.at(1, 0), 0xFF00FF00u);
  EXPECT_EQ(cut.at(2, 0), 0x12345678u);
}

// Filling the window at factors that are not whole (1.6; 1.458 across and
// 1.4583 down): the placement fills the smaller side, centred; each window
// pixel shows one picture pixel, picture columns and rows follow each other
// in order with runs that differ in length by at most one; a band of rows
// written alone is what the whole pass writes there.
TEST(Scaler, FitFillsTheSmallerSideWithEvenRuns) {
  EXPECT_EQ(fit_picture(640, 480, 1366, 768, true), (Placement{171, 0, 1024, 768}));
  EXPECT_EQ(fit_picture(640, 480, 1366, 768), (Placement{363, 144, 640, 480})) << "whole factors stay the default";
  EXPECT_EQ(fit_picture(640, 480, 1280, 1100, true), (Placement{0, 70, 1280, 960}));
  EXPECT_EQ(fit_picture(640, 480, 320, 480, true), (Placement{0, 120, 320, 240}));
  constexpr std::uint32_t pw = 640, ph = 480, bg = 0x102030;
  std::vector<std::uint32_t> picture(std::size_t{pw} * ph);
  for (std::uint32_t i = 0; i < picture.size(); ++i) picture[i] = i + 1;  // each pixel tells where it is
  for (const auto& [ww, wh, want] :
       {std::tuple{1366u, 768u, Placement{171, 0, 1024, 768}}, std::tuple{1000u, 700u, Placement{33, 0, 933, 700}}}) {
    Window win(ww, wh);
    const Placement at = fit_picture(pw, ph, ww, wh, true);
    ASSERT_EQ(at, want);
    scale_picture(picture.data(), pw, ph, at, win.pixels(), bg, false);
    // The picture column (or row) of each window column (or row); -1 outside.
    std::vector<std::int64_t> column(ww, -1), row(wh, -1);
    for (std::uint32_t y = 0; y < wh; ++y)
      for (std::uint32_t x = 0; x < ww; ++x) {
        const std::uint32_t p = win.at(x, y) & 0xFFFFFFu;
        const bool inside = x >= at.x && x < at.x + at.w && y >= at.y && y < at.y + at.h;
        ASSERT_EQ(inside ? p != bg : p == bg, true) << x << "," << y;
        if (!inside) continue;
        ASSERT_TRUE(p >= 1 && p <= picture.size()) << x << "," << y;
        const std::int64_t sx = (p - 1) % pw, sy = (p - 1) / pw;
        if (column[x] < 0) column[x] = sx;
        if (row[y] < 0) row[y] = sy;
        ASSERT_EQ(column[x], sx) << "column " << x << " shows two picture columns";
        ASSERT_EQ(row[y], sy) << "row " << y << " shows two picture rows";
      }
    auto even_runs = [](const std::vector<std::int64_t>& of, std::uint32_t from, std::uint32_t size, std::int64_t n) {
      std::vector<std::uint32_t> runs(static_cast<std::size_t>(n), 0);
      for (std::uint32_t i = from; i < from + size; ++i) {
        if (i > from && of[i] != of[i - 1] && of[i] != of[i - 1] + 1) return false;  // in order, none left out
        ++runs[static_cast<std::size_t>(of[i])];
      }
      const auto [shortest, longest] = std::minmax_element(runs.begin(), runs.end());
      return *shortest >= 1 && *longest - *shortest <= 1;
    };
    EXPECT_TRUE(even_runs(column, at.x, at.w, pw)) << ww << " x " << wh;
    EXPECT_TRUE(even_runs(row, at.y, at.h, ph)) << ww << " x " << wh;

    // Rows 100..102 again, alone, into a window of junk.
    Window band(ww, wh);
    const std::uint32_t top = window_row(ph, at, 100), bottom = window_row(ph, at, 103);
    EXPECT_EQ(row[top], 100);
    EXPECT_EQ(row[top - 1], 99);
    EXPECT_EQ(row[bottom], 103);
    scale_picture_rows(picture.data(), pw, ph, at, band.pixels(), bg, false, 100, 103);
    for (std::uint32_t y = 0; y < wh; ++y)
      for (std::uint32_t x = 0; x < ww + 3; ++x)
        ASSERT_EQ(band.px[std::size_t{y} * band.stride + x],
                  y >= top && y < bottom && x < ww ? win.at(x, y) : 0x12345678u)
            << x << "," << y;
  }
}

}  // namespace
