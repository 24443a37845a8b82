// A captured screen, and the PNG file of it: written here without an image library, its pixels
// in stored (uncompressed) deflate blocks, which every PNG reader takes. 100 x 64 at one bit a
// pixel is under 1 KB even so.
#include "brick/Picture.hpp"

#include <algorithm>
#include <array>
#include <cstddef>

namespace brick {

namespace {

const std::size_t kBandBytes = 800;

std::uint32_t crc32(const std::string& bytes, std::size_t from) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) {
        c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      }
      t[n] = c;
    }
    return t;
  }();
  std::uint32_t c = 0xFFFFFFFFu;
  for (std::size_t i = from; i < bytes.size(); ++i) {
    c = table[(c ^ static_cast<std::uint8_t>(bytes[i])) & 0xFF] ^ (c >> 8);
  }
  return c ^ 0xFFFFFFFFu;
}

void bigEndian(std::string& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) {
    out += static_cast<char>((v >> shift) & 0xFF);
  }
}

// A chunk: length, type, data, and the CRC of type and data.
void chunk(std::string& png, const char* type, const std::string& data) {
  bigEndian(png, static_cast<std::uint32_t>(data.size()));
  std::size_t start = png.size();
  png += type;
  png += data;
  bigEndian(png, crc32(png, start));
}

// A zlib stream of `raw` in stored blocks of at most 65535 bytes.
std::string zlibStored(const std::string& raw) {
  std::string out("\x78\x01", 2);
  std::size_t at = 0;
  do {
    std::size_t n = std::min<std::size_t>(raw.size() - at, 0xFFFF);
    bool last = at + n == raw.size();
    out += static_cast<char>(last ? 1 : 0);
    out += static_cast<char>(n & 0xFF);
    out += static_cast<char>(n >> 8);
    out += static_cast<char>(~n & 0xFF);
    out += static_cast<char>((~n >> 8) & 0xFF);
    out.append(raw, at, n);
    at += n;
  } while (at < raw.size());
  std::uint32_t a = 1;
  std::uint32_t b = 0;
  for (char c : raw) {
    a = (a + static_cast<std::uint8_t>(c)) % 65521;
    b = (b + a) % 65521;
  }
  bigEndian(out, (b << 16) | a);
  return out;
}

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
  const int w = width() * scale;
  const int h = height() * scale;
  const std::size_t rowBytes = static_cast<std::size_t>((w + 7) / 8);
  // Each row: filter type 0, then the pixels, 1 light and 0 dark, the leftmost the high bit.
  std::string raw;
  for (int y = 0; y < h; ++y) {
    std::string row(rowBytes, '\0');
    for (int x = 0; x < w; ++x) {
      if (!pixel(x / scale, y / scale)) {
        row[static_cast<std::size_t>(x / 8)] |= static_cast<char>(0x80 >> (x % 8));
      }
    }
    raw += '\0';
    raw += row;
  }
  std::string png("\x89PNG\r\n\x1A\n", 8);
  std::string header;
  bigEndian(header, static_cast<std::uint32_t>(w));
  bigEndian(header, static_cast<std::uint32_t>(h));
  header += std::string("\x01\x00\x00\x00\x00", 5);  // 1 bit, grey, deflate, filter 0, no interlace
  chunk(png, "IHDR", header);
  chunk(png, "IDAT", zlibStored(raw));
  chunk(png, "IEND", std::string());
  return png;
}

}  // namespace brick
