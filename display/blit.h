// Pixel kernels behind DRAWBMP, text and presenting: one row at a time, no clipping
// or defaults here (the callers do those).
#pragma once

#include <cstddef>
#include <cstdint>

namespace display::blit {

// dst[i] := src[i] where src[i] != key.
void copy_keyed(std::uint32_t* dst, const std::uint32_t* src, std::size_t n, std::uint32_t key);
// Where src[i] != key, each channel of dst[i] moves towards src[i]:
// round((src * (255 - a) + dst * a) / 255); a = 255 leaves dst as it is.
void blend_keyed(std::uint32_t* dst, const std::uint32_t* src, std::size_t n, std::uint32_t key, std::uint8_t a);
// The fade overlay in one pass: dst[i] := background, then frame[i] and page[i]
// laid over it in turn as blend_keyed would with their keys and weights (a
// null page is left out). dst may be frame, not page.
void overlay(std::uint32_t* dst, const std::uint32_t* frame, const std::uint32_t* page, std::size_t n,
             std::uint32_t background, std::uint32_t frame_key, std::uint8_t frame_a, std::uint32_t page_key,
             std::uint8_t page_a);
// One presentation in one pass: shown[i] := src[i] unless src[i] == key, and
// out[i] := shown[i]. True when out differs from `before` (always when null).
bool present_keyed(std::uint32_t* shown, std::uint32_t* out, const std::uint32_t* src, const std::uint32_t* before,
                   std::size_t n, std::uint32_t key);
// One pixel of blend_keyed without the key: the rule all the fast paths follow.
std::uint32_t blend_pixel(std::uint32_t src, std::uint32_t dst, std::uint8_t a);

}  // namespace display::blit
