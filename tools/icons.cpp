// tervalon-icons DIR: writes the game's icon at every desktop size as
// DIR/NxN/apps/tervalon.png, for installing into an icon theme: 8-bit RGBA,
// the ground around the scene clear so that the icon sits on any background.
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/file.h"
#include "game/view/icon.h"
#include "tools/png.h"

namespace {

bool make_dirs(const std::string& path) {
  for (std::size_t i = 1; i <= path.size(); ++i)
    if (i == path.size() || path[i] == '/')
      if (mkdir(path.substr(0, i).c_str(), 0755) != 0 && errno != EEXIST) return false;
  return true;
}

// 0x00BBGGRR pixels as red, green, blue and alpha bytes: the ground fully
// clear (its colour kept under it, for viewers that ignore alpha), the scene
// fully opaque.
std::vector<std::uint8_t> rgba_of(const std::vector<std::uint32_t>& pixels) {
  std::vector<std::uint8_t> rgba;
  rgba.reserve(pixels.size() * 4);
  for (std::uint32_t c : pixels)
    rgba.insert(rgba.end(),
                {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8), static_cast<std::uint8_t>(c >> 16),
                 static_cast<std::uint8_t>(c == tervalon::ICON_GROUND ? 0 : 255)});
  return rgba;
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
    errno = 0;
    if (!make_dirs(dir) ||
        !tervalon::write_png(path, size, size, rgba_of(tervalon::icon_picture(size)), tervalon::PngPixels::rgba)) {
      std::fprintf(stderr, "tervalon-icons: cannot write %s: %s\n", path.c_str(), base::error_text(errno).c_str());
      return 1;
    }
  }
  return 0;
}
