// The PNG writer: libpng at zlib's best level, each of its row filters tried
// and the smallest file kept.
#include "tools/png.h"

#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdio>
#include <new>
#include <utility>

namespace tervalon {

namespace {

// Where libpng's output goes; a failed append makes the whole file a failure.
struct Sink {
  std::vector<std::uint8_t> bytes;
  bool failed = false;
};

void append(png_structp png, png_bytep data, std::size_t n) {
  auto* sink = static_cast<Sink*>(png_get_io_ptr(png));
  if (sink->failed) return;
  try {
    sink->bytes.insert(sink->bytes.end(), data, data + n);
  } catch (const std::bad_alloc&) {
    sink->failed = true;  // no png_error here: a longjmp out of a handler skips its clean-up
  }
}

void flush_nothing(png_structp /*png*/) {}

// One PNG with the given row filters into sink. libpng reports an error by a
// longjmp back here, so no object that needs destroying lives in this frame.
bool encode(Sink* sink, png_bytep* rows, std::uint32_t width, std::uint32_t height, int colour_type, int filters) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {  // NOLINT(cert-err52-cpp): libpng's only way to report an error
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, sink, append, flush_nothing);
  png_set_IHDR(png, info, width, height, 8, colour_type, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, Z_BEST_COMPRESSION);
  png_set_compression_mem_level(png, MAX_MEM_LEVEL);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, filters);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return !sink->failed;
}

}  // namespace

bool write_png(const std::string& path, std::uint32_t width, std::uint32_t height,
               const std::vector<std::uint8_t>& pixels, PngPixels kind) {
  const std::size_t row = std::size_t{width} * static_cast<std::size_t>(kind);
  // Divided, not multiplied: width x height x 4 may not fit in a size_t.
  if (row == 0 || height == 0 || pixels.size() % row != 0 || pixels.size() / row != height) return false;
  std::vector<png_bytep> rows(height);
  for (std::uint32_t y = 0; y < height; ++y)
    rows[y] = const_cast<png_bytep>(&pixels[y * row]);  // only read: no transforms are set

  // No one filter wins everywhere: none for the small icons' flat areas,
  // up for the screenshot's, libpng's choice per row for the large icon.
  const int colour_type = kind == PngPixels::rgba ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
  Sink best;
  for (int filters :
       {PNG_FILTER_NONE, PNG_FILTER_SUB, PNG_FILTER_UP, PNG_FILTER_AVG, PNG_FILTER_PAETH, PNG_ALL_FILTERS}) {
    Sink sink;
    if (!encode(&sink, rows.data(), width, height, colour_type, filters)) return false;
    if (best.bytes.empty() || sink.bytes.size() < best.bytes.size()) best = std::move(sink);
  }

  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool written = std::fwrite(best.bytes.data(), 1, best.bytes.size(), f) == best.bytes.size();
  return std::fclose(f) == 0 && written;
}

}  // namespace tervalon
