// A decoded picture: rows of 8-bit R, G, B triples, top row first.
#pragma once

#include <cstdint>
#include <vector>

namespace bootlume {

struct RgbPicture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;  // width * height * 3 bytes

  bool empty() const { return width <= 0 || height <= 0; }
  const std::uint8_t* Pixel(int x, int y) const {
    return pixels.data() + (static_cast<std::size_t>(y) * width + x) * 3;
  }
};

}  // namespace bootlume
