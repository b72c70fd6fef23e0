// tervalon-icons DIR: writes the game's icon at every desktop size as
// DIR/NxN/apps/tervalon.png, for installing into an icon theme.
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "icon.h"

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

// An RGB PNG whose image data is stored uncompressed: no compression library
// needed, and the icons are small.
std::vector<std::uint8_t> png_of(const std::vector<std::uint32_t>& pixels, std::uint32_t size) {
  std::vector<std::uint8_t> raw;
  for (std::uint32_t y = 0; y < size; ++y) {
    raw.push_back(0);  // no filter
    for (std::uint32_t x = 0; x < size; ++x) {
      std::uint32_t c = pixels[std::size_t{y} * size + x];  // 0x00BBGGRR
      raw.insert(raw.end(), {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8),
                             static_cast<std::uint8_t>(c >> 16)});
    }
  }
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

  std::vector<std::uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> header;
  put32(header, size);
  put32(header, size);
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB
  chunk(png, "IHDR", header);
  chunk(png, "IDAT", z);
  chunk(png, "IEND", {});
  return png;
}

bool make_dirs(const std::string& path) {
  for (std::size_t i = 1; i <= path.size(); ++i)
    if (i == path.size() || path[i] == '/')
      if (mkdir(path.substr(0, i).c_str(), 0755) != 0 && errno != EEXIST) return false;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: tervalon-icons DIR\n");
    return 2;
  }
  for (std::uint32_t size : tervalon::ICON_SIZES) {
    std::string dir = std::string(argv[1]) + "/" + std::to_string(size) + "x" + std::to_string(size) + "/apps";
    std::string path = dir + "/tervalon.png";
    std::vector<std::uint8_t> png = png_of(tervalon::icon_picture(size), size);
    FILE* f = make_dirs(dir) ? std::fopen(path.c_str(), "wb") : nullptr;
    if (!f || std::fwrite(png.data(), 1, png.size(), f) != png.size() || std::fclose(f) != 0) {
      std::fprintf(stderr, "tervalon-icons: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
      return 1;
    }
  }
  return 0;
}
