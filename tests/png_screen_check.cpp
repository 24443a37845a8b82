// png_screen_check FILE.png NAME: passes (exit 0) when FILE is a 100 x 64 picture of the brick's
// screen whose top line is NAME as the virtual brick's menu draws it, pixel for pixel, and
// something is drawn below it; otherwise says which pixel differs (exit 1).
#include <png.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "sim/BrickScreen.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: png_screen_check FILE.png NAME\n");
    return 2;
  }
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, argv[1])) {
    std::printf("%s: not a PNG: %s\n", argv[1], image.message);
    return 1;
  }
  image.format = PNG_FORMAT_GRAY;
  std::vector<png_byte> grey(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, grey.data(), 0, nullptr)) {
    std::printf("%s: %s\n", argv[1], image.message);
    return 1;
  }
  if (image.width != 100 || image.height != 64) {
    std::printf("%s: %u x %u, not 100 x 64\n", argv[1], image.width, image.height);
    return 1;
  }
  std::uint8_t expected[800] = {};
  Sim::BrickScreen::text(expected, 0, Sim::BrickScreen::centred(argv[2]), argv[2]);
  int below = 0;
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 100; ++x) {
      bool dark = grey[static_cast<std::size_t>(y * 100 + x)] < 128;
      if (y >= 8) {
        below += dark ? 1 : 0;
        continue;
      }
      bool want = (expected[x] >> y & 1) != 0;
      if (dark != want) {
        std::printf("%s: pixel (%d, %d) is %s, the name \"%s\" has it %s\n", argv[1], x, y,
                    dark ? "dark" : "light", argv[2], want ? "dark" : "light");
        return 1;
      }
    }
  }
  if (below == 0) {
    std::printf("%s: nothing drawn under the name\n", argv[1]);
    return 1;
  }
  std::printf("%s: the name \"%s\" on top, %d dark pixels below\n", argv[1], argv[2], below);
  return 0;
}
