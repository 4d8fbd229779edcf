#include "tools/picture/Compositing.h"

namespace bootlume::picture {

void CompositeOverBlack(const std::uint8_t* rgba, std::size_t pixelCount, std::uint8_t* rgb) {
  // Front to back, so that writing 3 bytes per pixel never overtakes reading 4.
  for (std::size_t i = 0; i < pixelCount; ++i) {
    const unsigned alpha = rgba[4 * i + 3];
    for (int c = 0; c < 3; ++c) {
      // 255 is odd, so c * a / 255 never lies exactly halfway: +127 rounds.
      rgb[3 * i + c] = static_cast<std::uint8_t>((rgba[4 * i + c] * alpha + 127) / 255);
    }
  }
}

}  // namespace bootlume::picture
