// The icon picture.
#include "icon.h"

#include <cmath>

namespace tervalon {

std::vector<std::uint32_t> icon_picture(std::uint32_t size) {
  auto scaled = [size](double part) { return static_cast<std::uint32_t>(std::nearbyint(size * part)); };
  const std::uint32_t floor_top = size - scaled(7.0 / 32.0);
  const std::uint32_t box_w = scaled(16.0 / 64.0), box_h = scaled(36.0 / 64.0);
  const std::uint32_t box_left = (size - box_w) / 2, box_top = floor_top - box_h;
  // The 256-pixel images use a grey one step darker.
  const std::uint32_t grey = size >= 256 ? 0x7F7F7F : 0x808080;

  std::vector<std::uint32_t> p(std::size_t{size} * size, 0xFFFFFF);
  for (std::uint32_t y = 0; y < size; ++y) {
    for (std::uint32_t x = 0; x < size; ++x) {
      std::uint32_t& px = p[std::size_t{y} * size + x];
      if (y >= floor_top)
        px = grey;
      else if (y >= box_top && x >= box_left && x < box_left + box_w)
        px = 0x010101;
    }
  }
  return p;
}

}  // namespace tervalon
