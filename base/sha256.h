// SHA-256 of a byte string, for naming the level file a recording was played
// on: whole, or as it is read. Small and dependency-free; checked against the
// standard's test vectors.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace base {

// The digest of `bytes` as 64 lower-case hexadecimal digits.
std::string sha256_hex(std::string_view bytes);

// The same digest over bytes that come piece by piece.
class Sha256 {
 public:
  Sha256();
  void add(std::string_view bytes);
  std::string hex();  // once, after the last add

 private:
  std::array<std::uint32_t, 8> h_;
  std::array<unsigned char, 64> block_{};
  std::size_t held_ = 0;
  std::uint64_t total_ = 0;
};

}  // namespace base
