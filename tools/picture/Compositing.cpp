#include "tools/picture/Compositing.h"

namespace bootlume::picture {

void CompositeOverBlack(const std::uint8_t* rgba, std::size_t pixelCount, std::uint8_t* rgb) {
  // Front to back, so that writing 3 bytes per pixel never overtakes reading 4.
  for (std::size_t i = 0; i < pixelCount; ++i) {
    const unsigned alpha = rgba[4 * i + 3];
    for (int c = 0; c < 3; ++c) {
      // round(c * a / 255) without a division: exact for all 8-bit c and a.
      const unsigned product = rgba[4 * i + static_cast<std::size_t>(c)] * alpha + 128;
      rgb[3 * i + static_cast<std::size_t>(c)] = static_cast<std::uint8_t>((product + (product >> 8)) >> 8);
    }
  }
}

}  // namespace bootlume::picture
