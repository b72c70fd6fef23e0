// The icon picture.
#include "game/view/icon.h"

#include <cmath>

namespace tervalon {

std::vector<std::uint32_t> icon_picture(std::uint32_t size) {
  // A length of the 64 x 64 layout at this size, to the nearest whole pixel.
  auto px = [size](double at64) { return static_cast<std::uint32_t>(std::nearbyint(size * at64 / 64.0)); };
  const std::uint32_t floor_top = size - px(14);
  const std::uint32_t box_w = px(16), box_h = px(36), pitch = px(20);
  const std::uint32_t first_left = (size - (2 * pitch + box_w)) / 2, box_top = floor_top - box_h;
  // The 256-pixel image uses a grey one step darker.
  const std::uint32_t grey = size >= 256 ? 0x7F7F7F : 0x808080;
  const std::uint32_t shades[] = {ICON_GHOSTS[1], ICON_GHOSTS[0], ICON_PLAYER};  // left to right

  std::vector<std::uint32_t> p(std::size_t{size} * size, ICON_GROUND);
  for (std::uint32_t y = 0; y < size; ++y) {
    for (std::uint32_t x = 0; x < size; ++x) {
      std::uint32_t& px_at = p[std::size_t{y} * size + x];
      if (y >= floor_top) {
        px_at = grey;
      } else if (y >= box_top && x >= first_left) {
        const std::uint32_t box = (x - first_left) / pitch, inside = (x - first_left) % pitch;
        if (box < 3 && inside < box_w) px_at = shades[box];
      }
    }
  }
  return p;
}

}  // namespace tervalon
