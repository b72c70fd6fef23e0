// SHA-256 against the standard's test vectors: empty, one block, a message
// that needs a second padding block, and a million bytes.
#include <gtest/gtest.h>

#include "base/sha256.h"

namespace base {
namespace {

TEST(Sha256, TheStandardsTestVectors) {
  EXPECT_EQ(sha256_hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(sha256_hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(sha256_hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(sha256_hex(std::string(1000000, 'a')), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
  // Piece by piece, in pieces that straddle the blocks, as the loader reads.
  Sha256 pieces;
  for (std::size_t n = 0, size = 1; n < 1000000; n += size, size = size * 7 % 1000 + 1)
    pieces.add(std::string(std::min(size, 1000000 - n), 'a'));
  EXPECT_EQ(pieces.hex(), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

}  // namespace
}  // namespace base
