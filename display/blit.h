// Pixel kernels behind BAR, CLEAR and DRAWBMP: one row at a time, no clipping
// or defaults here (the callers in surface.cpp do those).
#pragma once

#include <cstddef>
#include <cstdint>

namespace display::blit {

// dst[i] := colour for n pixels.
void fill(std::uint32_t* dst, std::size_t n, std::uint32_t colour);
// dst[i] := src[i] where src[i] != key.
void copy_keyed(std::uint32_t* dst, const std::uint32_t* src, std::size_t n, std::uint32_t key);
// Where src[i] != key, each channel of dst[i] moves towards src[i]:
// round((src * (255 - a) + dst * a) / 255); a = 255 leaves dst as it is.
void blend_keyed(std::uint32_t* dst, const std::uint32_t* src, std::size_t n, std::uint32_t key,
                 std::uint8_t a);
// One pixel of blend_keyed without the key: the rule all the fast paths follow.
std::uint32_t blend_pixel(std::uint32_t src, std::uint32_t dst, std::uint8_t a);

}  // namespace display::blit
