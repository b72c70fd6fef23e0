// PNG files for the build tools that make the icons and the screenshot,
// written through libpng at its best compression.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tervalon {

// The bytes of one pixel: red, green, blue; or those and alpha (0 is clear).
enum class PngPixels { rgb = 3, rgba = 4 };

// Writes width x height pixels (row by row from the top, each as `kind`
// says) as an 8-bit RGB or RGBA PNG. False when the pixels do not fit the
// size or the file cannot be written.
bool write_png(const std::string& path, std::uint32_t width, std::uint32_t height,
               const std::vector<std::uint8_t>& pixels, PngPixels kind = PngPixels::rgb);

}  // namespace tervalon
