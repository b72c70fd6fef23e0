// tervalon-ppm2png IN.ppm OUT.png: turns a replay snap into a PNG at build
// time (the screenshot of the software-centre metadata).
#include <cerrno>
#include <cstdio>
#include <string>

#include "base/file.h"
#include "display/surface.h"
#include "tools/png.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: tervalon-ppm2png IN.ppm OUT.png\n");
    return 2;
  }
  int width = 0;
  const std::vector<std::uint8_t> rgb = display::read_ppm(argv[1], &width);
  if (rgb.empty()) {
    std::fprintf(stderr, "tervalon-ppm2png: %s is not a binary PPM picture\n", argv[1]);
    return 1;
  }
  const auto w = static_cast<std::uint32_t>(width);
  errno = 0;
  if (!tervalon::write_png(argv[2], w, static_cast<std::uint32_t>(rgb.size() / 3 / w), rgb)) {
    std::fprintf(stderr, "tervalon-ppm2png: cannot write %s: %s\n", argv[2], base::error_text(errno).c_str());
    return 1;
  }
  return 0;
}
