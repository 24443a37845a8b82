/// @file
/// @brief brick::Picture, what the brick's screen showed.
#ifndef BRICK_PICTURE_HPP
#define BRICK_PICTURE_HPP

#include <cstdint>
#include <string>
#include <vector>

#include "brick/Export.h"

namespace brick {

/// @brief The brick's 100 x 64 screen as brick::Screen::capture() read it, pixel by pixel.
///
/// A value: copy it freely. A default-made one is blank (every pixel light).
class BRICKCTL_API Picture {
 public:
  /// @brief A blank picture.
  Picture();
  /// @brief A picture of the bytes as the brick's display keeps them.
  /// @param bands 800 bytes: 8 bands of 100 columns from the top, a byte the 8 pixels of a
  /// column in its band, bit 0 uppermost; fewer are taken as light pixels.
  /// @param popup whether the display showed its popup screen.
  Picture(std::vector<std::uint8_t> bands, bool popup);

  /// @brief Its width in pixels.
  /// @return 100.
  static constexpr int width() noexcept { return 100; }
  /// @brief Its height in pixels.
  /// @return 64.
  static constexpr int height() noexcept { return 64; }

  /// @brief Whether a pixel is dark.
  /// @param x its column, 0 (left) to 99.
  /// @param y its row, 0 (top) to 63.
  /// @return true when it is dark; false when it is light or outside the picture.
  bool pixel(int x, int y) const noexcept;
  /// @brief Whether the display showed its popup screen instead of the normal one.
  /// @return true for the popup.
  bool popup() const noexcept { return shownPopup; }
  /// @brief The bytes as the brick's display keeps them (see Picture(std::vector<std::uint8_t>,
  /// bool)).
  /// @return 800 bytes.
  const std::vector<std::uint8_t>& bands() const noexcept { return bytes; }

  /// @brief The picture as a PNG file's bytes: 1 bit a pixel, dark pixels black.
  /// @param scale each pixel as a `scale` x `scale` square, 1 to 8.
  /// @return the file's bytes; empty for a scale out of range.
  std::string png(int scale = 1) const;

 private:
  std::vector<std::uint8_t> bytes;
  bool shownPopup = false;
};

}  // namespace brick

#endif
