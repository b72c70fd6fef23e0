// The PNG writer read back with libpng, and the icons tervalon-icons writes:
// small, 8-bit RGBA, the picture's own colours with the ground transparent.
#include <gtest/gtest.h>
#include <png.h>

#include <fstream>
#include <iterator>

#include "game/view/icon.h"
#include "run.h"
#include "tests/game/support.h"
#include "tools/png.h"

namespace tervalon::test {
namespace {

struct Decoded {
  std::size_t file_size = 0;
  int bit_depth = 0, colour_type = 0;  // as the header says
  std::uint32_t width = 0, height = 0;
  std::vector<std::uint8_t> rgba;  // an RGB file's pixels with alpha 255
};

Decoded decode(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), {}};
  Decoded d;
  d.file_size = bytes.size();
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (bytes.size() < 33 || !png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return d;
  d.bit_depth = static_cast<unsigned char>(bytes[24]);  // IHDR: signature, length, type, width, height, then these
  d.colour_type = static_cast<unsigned char>(bytes[25]);
  d.width = image.width;
  d.height = image.height;
  image.format = PNG_FORMAT_RGBA;
  d.rgba.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, d.rgba.data(), 0, nullptr)) d.rgba.clear();
  return d;
}

// The icons test reads the written pixels back; here, what cannot be written
// is said, not left as a partial file.
TEST(Png, RefusesWhatItCannotWrite) {
  const std::string dir = make_temp_dir();
  const std::vector<std::uint8_t> grey(12, 128);
  EXPECT_FALSE(write_png(dir + "/short.png", 2, 2, grey, PngPixels::rgba));  // 16 bytes due
  EXPECT_FALSE(write_png(dir + "/empty.png", 0, 0, {}));
  EXPECT_FALSE(write_png(dir + "/huge.png", 0xFFFFFFFF, 0xFFFFFFFF, grey));
  EXPECT_FALSE(std::ifstream(dir + "/short.png") || std::ifstream(dir + "/empty.png"));
  EXPECT_FALSE(write_png(dir + "/no/such/folder.png", 2, 2, grey));
  EXPECT_FALSE(write_png("/dev/full", 2, 2, grey));  // opens, but nothing fits
}

TEST(Icons, EverySizeIsASmallRgbaPngOfThePictureWithTheGroundTransparent) {
  const std::string dir = make_temp_dir();
  const ToolRun r = run_in(dir, "'" + std::string(TERVALON_BINARY_DIR) + "/tools/tervalon-icons' icons");
  ASSERT_EQ(r.status, 0) << r.err;
  for (std::uint32_t size : ICON_SIZES) {
    SCOPED_TRACE(testing::Message() << size << " x " << size);
    const std::string name = std::to_string(size) + "x" + std::to_string(size);
    const Decoded d = decode(dir + "/icons/" + name + "/apps/tervalon.png");
    EXPECT_EQ(d.bit_depth, 8);
    EXPECT_EQ(d.colour_type, PNG_COLOR_TYPE_RGB_ALPHA);
    ASSERT_EQ(d.width, size);
    ASSERT_EQ(d.height, size);
    ASSERT_EQ(d.rgba.size(), std::size_t{size} * size * 4);
    EXPECT_LT(d.file_size, size * size);  // a quarter of the raw pixels at most
    const std::vector<std::uint32_t> picture = icon_picture(size);
    for (std::size_t i = 0; i < picture.size(); ++i) {
      const std::uint8_t* p = &d.rgba[i * 4];
      if (picture[i] == ICON_GROUND) {
        ASSERT_EQ(p[3], 0) << "pixel " << i;
      } else {
        ASSERT_EQ(p[3], 255) << "pixel " << i;
        ASSERT_EQ(std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16, picture[i])
            << "pixel " << i;
      }
    }
    // The top corners are sky; the floor runs to the bottom ones.
    EXPECT_EQ(d.rgba[3], 0);
    EXPECT_EQ(d.rgba[(size - 1) * 4 + 3], 0);
    EXPECT_EQ(d.rgba[d.rgba.size() - 1], 255);
  }
}

}  // namespace
}  // namespace tervalon::test
