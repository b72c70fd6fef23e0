// The icon at every desktop size: sharp (only the picture's own colours, no
// blended edges), and the same scene at each: three boxes of the player's
// shape standing apart on the floor, ghosts fading out to the left of the
// black player.
#include <gtest/gtest.h>

#include <algorithm>

#include "game/view/icon.h"

namespace tervalon::test {
namespace {

std::uint32_t lightness(std::uint32_t c) { return (c & 0xFF) + (c >> 8 & 0xFF) + (c >> 16 & 0xFF); }

// The sizes desktops look for in the hicolor icon theme, each drawn for its size.
TEST(Icon, ComesInEverySizeTheIconThemeNames) {
  const std::vector<std::uint32_t> sizes(std::begin(ICON_SIZES), std::end(ICON_SIZES));
  EXPECT_EQ(sizes, (std::vector<std::uint32_t>{16, 24, 32, 48, 64, 72, 80, 96, 128, 256}));
}

TEST(Icon, EverySizeShowsThePlayerAndTwoFadingGhostsOnTheFloor) {
  for (std::uint32_t size : ICON_SIZES) {
    SCOPED_TRACE(testing::Message() << size << " x " << size);
    const std::vector<std::uint32_t> p = icon_picture(size);
    ASSERT_EQ(p.size(), std::size_t{size} * size);
    auto at = [&](std::uint32_t x, std::uint32_t y) { return p[std::size_t{y} * size + x]; };
    const std::uint32_t grey = at(0, size - 1);
    const std::uint32_t colours[] = {ICON_GROUND, ICON_PLAYER, ICON_GHOSTS[0], ICON_GHOSTS[1], grey};
    for (std::uint32_t c : p) ASSERT_NE(std::find(std::begin(colours), std::end(colours), c), std::end(colours));

    // The floor: whole grey rows at the bottom, about 7/32 of the height.
    std::uint32_t floor_top = size;
    while (floor_top > 0 && std::all_of(&p[std::size_t{floor_top - 1} * size], &p[std::size_t{floor_top} * size],
                                        [&](std::uint32_t c) { return c == grey; }))
      --floor_top;
    EXPECT_NEAR(size - floor_top, size * 7.0 / 32.0, 1.0);

    // The boxes, read off the row on the floor, left to right.
    struct Box {
      std::uint32_t left, width, top, colour;
    };
    std::vector<Box> boxes;
    const std::uint32_t row = floor_top - 1;
    for (std::uint32_t x = 0; x < size; ++x) {
      if (at(x, row) == ICON_GROUND) continue;
      Box b{x, 0, row, at(x, row)};
      while (x < size && at(x, row) == b.colour) ++x, ++b.width;
      while (b.top > 0 && at(b.left, b.top - 1) == b.colour) --b.top;
      boxes.push_back(b);
      --x;
    }
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].colour, ICON_GHOSTS[1]);
    EXPECT_EQ(boxes[1].colour, ICON_GHOSTS[0]);
    EXPECT_EQ(boxes[2].colour, ICON_PLAYER);
    EXPECT_GT(boxes[0].left, 0u);
    EXPECT_LT(boxes[2].left + boxes[2].width, size);
    for (std::size_t k = 0; k < 3; ++k) {
      const Box& b = boxes[k];
      EXPECT_EQ(b.width, boxes[2].width);
      EXPECT_EQ(b.top, boxes[2].top);
      if (k > 0) {
        EXPECT_GT(b.left, boxes[k - 1].left + boxes[k - 1].width) << "no gap before box " << k;
      }
      // A solid box of the player's 16 x 36 shape, each side rounded to a pixel.
      const double h = floor_top - b.top;
      EXPECT_NEAR(h / b.width, 36.0 / 16.0, 2.0 / b.width);
      for (std::uint32_t y = b.top; y < floor_top; ++y)
        for (std::uint32_t x = b.left; x < b.left + b.width; ++x) ASSERT_EQ(at(x, y), b.colour);
    }
    // Fading: each ghost further back is lighter, all darker than the ground.
    EXPECT_LT(lightness(ICON_PLAYER), lightness(ICON_GHOSTS[0]));
    EXPECT_LT(lightness(ICON_GHOSTS[0]), lightness(ICON_GHOSTS[1]));
    EXPECT_LT(lightness(ICON_GHOSTS[1]), lightness(ICON_GROUND));
  }
}

}  // namespace
}  // namespace tervalon::test
