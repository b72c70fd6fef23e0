// PNG files written with no compression library: the image data is stored
// uncompressed. Used by the build tools that make the icons and screenshots.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tervalon {

// Writes width x height pixels of three bytes each (red, green, blue; row by
// row from the top) as an 8-bit RGB PNG. False when the file cannot be written.
bool write_png(const std::string& path, std::uint32_t width, std::uint32_t height,
               const std::vector<std::uint8_t>& rgb);

}  // namespace tervalon
