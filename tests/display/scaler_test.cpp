// The scaler: where a picture goes in windows of other sizes, and the pixels
// it writes (whole-factor blocks, shrinking, borders, the red/blue swap).
#include <gtest/gtest.h>

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
  // The opening window's factor: three quarters of 1920 x 1080, 2560 x 1440, 3840 x 2160.
  EXPECT_EQ(whole_factor(640, 480, 1440, 810), 1u);
  EXPECT_EQ(whole_factor(640, 480, 1920, 1080), 2u);
  EXPECT_EQ(whole_factor(640, 480, 2880, 1620), 3u);
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

}  // namespace
