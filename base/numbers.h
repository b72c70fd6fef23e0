// Whole numbers from text, and exact integer division rounded the way the
// floats round: to nearest, ties to even.
#pragma once

#include <charconv>
#include <concepts>
#include <cstdint>
#include <string_view>

namespace base {

// `s` whole as a decimal number lo..hi: no sign, no blanks, nothing after it.
template <std::unsigned_integral T>
bool parse_whole(std::string_view s, T lo, T hi, T& out) {
  T v{};
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size() || v < lo || v > hi) return false;
  out = v;
  return true;
}

// num / den to the nearest integer, ties to even; den > 0.
constexpr std::uint64_t round_div_even(std::uint64_t num, std::uint64_t den) {
  std::uint64_t q = num / den, twice_r = 2 * (num % den);
  if (twice_r > den || (twice_r == den && q % 2 == 1)) ++q;
  return q;
}

}  // namespace base
