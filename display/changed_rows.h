// Which rows of a picture changed: the one record that drawing, presenting and
// the back ends pass along, so that only those rows are copied or shown again.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace display {

// One flag a row; rows past the end count as changed. Used by one thread at a
// time (whoever holds the picture it belongs to).
class ChangedRows {
 public:
  // h rows, every one changed or none.
  void reset(std::uint32_t h, bool changed) { flags_.assign(h, changed); }
  // At least h rows: the rows added count as changed.
  void grow(std::uint32_t h) {
    if (flags_.size() < h) flags_.resize(h, 1);
  }
  void set(std::uint32_t y, bool changed) { flags_[y] = changed; }
  // Rows top..bottom - 1 changed (cut off at the end).
  void mark(std::uint32_t top, std::uint32_t bottom) {
    for (std::uint32_t y = top; y < std::min(bottom, size()); ++y) flags_[y] = 1;
  }
  // Adds the changes of `other` (of a picture of the same height).
  void add(const ChangedRows& other) {
    for (std::uint32_t y = 0; y < size(); ++y) flags_[y] |= other[y];
  }
  bool operator[](std::uint32_t y) const { return y >= flags_.size() || flags_[y]; }
  std::uint32_t size() const { return static_cast<std::uint32_t>(flags_.size()); }
  // Calls f(top, bottom) for each run of changed rows top..bottom - 1.
  template <class F>
  void for_each_run(F f) const {
    for (std::uint32_t y = 0; y < size(); ++y) {
      if (!flags_[y]) continue;
      const std::uint32_t top = y;
      while (y < size() && flags_[y]) ++y;
      f(top, y);
    }
  }

 private:
  std::vector<std::uint8_t> flags_;
};

}  // namespace display
