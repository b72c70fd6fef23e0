// The PNG writer: signature, header, one IDAT of stored deflate blocks, end.
#include "tools/png.h"

#include <algorithm>
#include <cstdio>

namespace tervalon {

namespace {

std::uint32_t crc32(const std::uint8_t* p, std::size_t n, std::uint32_t crc = 0) {
  crc = ~crc;
  while (n--) {
    crc ^= *p++;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<std::uint8_t>(v >> s));
}

void chunk(std::vector<std::uint8_t>& png, const char* type, const std::vector<std::uint8_t>& data) {
  put32(png, static_cast<std::uint32_t>(data.size()));
  std::size_t start = png.size();
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), data.begin(), data.end());
  put32(png, crc32(png.data() + start, png.size() - start));
}

// A zlib stream of stored (uncompressed) deflate blocks of at most 65535 bytes.
std::vector<std::uint8_t> stored_zlib(const std::vector<std::uint8_t>& raw) {
  std::vector<std::uint8_t> z{0x78, 0x01};
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t v : raw) {
    a = (a + v) % 65521;
    b = (b + a) % 65521;
  }
  for (std::size_t i = 0; i < raw.size() || i == 0; i += 65535) {
    std::size_t n = std::min<std::size_t>(65535, raw.size() - i);
    bool last = i + n >= raw.size();
    z.insert(z.end(), {static_cast<std::uint8_t>(last), static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
                       static_cast<std::uint8_t>(~n), static_cast<std::uint8_t>(~n >> 8)});
    z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(i), raw.begin() + static_cast<std::ptrdiff_t>(i + n));
  }
  put32(z, (b << 16) | a);
  return z;
}

}  // namespace

bool write_png(const std::string& path, std::uint32_t width, std::uint32_t height,
               const std::vector<std::uint8_t>& rgb) {
  const std::size_t row = std::size_t{width} * 3;
  if (rgb.size() != row * height) return false;
  std::vector<std::uint8_t> raw;
  raw.reserve((row + 1) * height);
  for (std::uint32_t y = 0; y < height; ++y) {
    raw.push_back(0);  // no filter
    raw.insert(raw.end(), rgb.begin() + static_cast<std::ptrdiff_t>(y * row),
               rgb.begin() + static_cast<std::ptrdiff_t>((y + 1) * row));
  }

  std::vector<std::uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> header;
  put32(header, width);
  put32(header, height);
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB
  chunk(png, "IHDR", header);
  chunk(png, "IDAT", stored_zlib(raw));
  chunk(png, "IEND", {});

  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool written = std::fwrite(png.data(), 1, png.size(), f) == png.size();
  return std::fclose(f) == 0 && written;
}

}  // namespace tervalon
