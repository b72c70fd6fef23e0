// SHA-256 of a byte string, for naming the level file a recording was played
// on. Small and dependency-free; checked against the standard's test vectors.
#pragma once

#include <string>
#include <string_view>

namespace tervalon {

// The digest of `bytes` as 64 lower-case hexadecimal digits.
std::string sha256_hex(std::string_view bytes);

}  // namespace tervalon
