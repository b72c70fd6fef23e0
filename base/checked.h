// Range-checked arrays and checked integer steps: every index and every
// narrowing the game makes goes through here, and a failure stops the program
// with run-time error 201 (range) or 215 (overflow).
#pragma once

#include <cmath>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include "base/runtime_error.h"

namespace base {

inline constexpr int RANGE_ERROR = 201;
inline constexpr int OVERFLOW_ERROR = 215;

// A fixed array indexed Lo..Hi inclusive, like a Pascal array[Lo..Hi].
// Nest it for several dimensions: Array<Array<T, 1, 4>, 0, 25>.
template <typename T, long long Lo, long long Hi>
class Array {
  static_assert(Lo <= Hi, "an array needs at least one slot");

 public:
  static constexpr long long LOW = Lo;
  static constexpr long long HIGH = Hi;

  T& operator[](long long i) { return slots_[offset(i)]; }
  const T& operator[](long long i) const { return slots_[offset(i)]; }

  T* begin() { return slots_; }
  T* end() { return slots_ + (Hi - Lo + 1); }
  const T* begin() const { return slots_; }
  const T* end() const { return slots_ + (Hi - Lo + 1); }

 private:
  template <typename, long long, long long>
  friend class GrowingArray;
  static std::size_t offset(long long i) {
    if (i < Lo || i > Hi) [[unlikely]]
      runtime_error(RANGE_ERROR);
    return static_cast<std::size_t>(i - Lo);
  }

  T slots_[Hi - Lo + 1]{};
};

// Array<T, Lo, Hi> for long tables that are mostly unused: a slot never
// written reads as T{}, as in Array, but storage grows only to the highest
// slot touched, so that a copy costs what is used, not the whole range.
template <typename T, long long Lo, long long Hi>
class GrowingArray {
  static_assert(Lo <= Hi, "an array needs at least one slot");

 public:
  // One comparison when the slot is stored: a stored slot is in range.
  T& operator[](long long i) {
    const std::size_t at = unchecked(i);
    if (at >= slots_.size()) [[unlikely]]
      slots_.resize(Array<T, Lo, Hi>::offset(i) + 1);
    return slots_[at];
  }
  const T& operator[](long long i) const {
    static const T unset{};
    const std::size_t at = unchecked(i);
    if (at < slots_.size()) [[likely]]
      return slots_[at];
    Array<T, Lo, Hi>::offset(i);  // 201 outside Lo..Hi
    return unset;
  }

 private:
  // The slot of index i, wrapping below Lo to a slot that is never stored.
  static std::size_t unchecked(long long i) {
    return static_cast<std::size_t>(static_cast<unsigned long long>(i) - static_cast<unsigned long long>(Lo));
  }

  std::vector<T> slots_;
};

// The value of `v` as a `To`; 201 when it does not fit.
template <std::integral To, std::integral From>
To narrow(From v) {
  if (!std::in_range<To>(v)) [[unlikely]]
    runtime_error(RANGE_ERROR);
  return static_cast<To>(v);
}

// Integer arithmetic in T that stops with 215 instead of wrapping.
template <typename T>
T add(T a, T b) {
  T r;
  if (__builtin_add_overflow(a, b, &r)) [[unlikely]]
    runtime_error(OVERFLOW_ERROR);
  return r;
}

template <typename T>
T sub(T a, T b) {
  T r;
  if (__builtin_sub_overflow(a, b, &r)) [[unlikely]]
    runtime_error(OVERFLOW_ERROR);
  return r;
}

template <typename T>
T mul(T a, T b) {
  T r;
  if (__builtin_mul_overflow(a, b, &r)) [[unlikely]]
    runtime_error(OVERFLOW_ERROR);
  return r;
}

// Float to integer: truncated toward zero, or rounded to nearest with ties to
// even. 201 when the result does not fit a signed 64-bit integer.
inline std::int64_t trunc_i64(double v) {
  double t = std::trunc(v);
  if (!(t >= -9223372036854775808.0 && t < 9223372036854775808.0)) [[unlikely]]
    runtime_error(RANGE_ERROR);
  return static_cast<std::int64_t>(t);
}

inline std::int64_t round_i64(double v) { return trunc_i64(std::nearbyint(v)); }

}  // namespace base
