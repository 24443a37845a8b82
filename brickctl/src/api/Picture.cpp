// A captured screen, and the PNG file of it (libpng: greyscale, one bit a pixel).
#include "brick/Picture.hpp"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstddef>

namespace brick {

namespace {

const std::size_t kBandBytes = 800;

void append(png_structp png, png_bytep data, png_size_t size) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), size);
}

void flushNothing(png_structp) {}

}  // namespace

Picture::Picture() : bytes(kBandBytes, 0) {}

Picture::Picture(std::vector<std::uint8_t> bands, bool popup)
    : bytes(std::move(bands)), shownPopup(popup) {
  bytes.resize(kBandBytes, 0);
}

bool Picture::pixel(int x, int y) const noexcept {
  if (x < 0 || x >= width() || y < 0 || y >= height()) {
    return false;
  }
  return (bytes[static_cast<std::size_t>((y / 8) * width() + x)] >> (y % 8) & 1) != 0;
}

std::string Picture::png(int scale) const {
  if (scale < 1 || scale > 8) {
    return {};
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return {};
  }
  const int w = width() * scale;
  const int h = height() * scale;
  std::string file;
  // Each row's pixels: 1 light and 0 dark, the leftmost the high bit.
  std::vector<png_byte> row(static_cast<std::size_t>((w + 7) / 8));
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(png, &file, append, flushNothing);
  png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), 1,
               PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < h; ++y) {
    std::fill(row.begin(), row.end(), 0);
    for (int x = 0; x < w; ++x) {
      if (!pixel(x / scale, y / scale)) {
        row[static_cast<std::size_t>(x / 8)] |= static_cast<png_byte>(0x80 >> (x % 8));
      }
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return file;
}

}  // namespace brick
