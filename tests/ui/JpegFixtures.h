// Small JPEG fixtures made with libjpeg's encoder.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/ByteBuffer.h"
#include "ui/RgbPicture.h"

namespace bootlume::test {

// Encodes an RGB picture (components 3) or its first channel (components 1,
// greyscale) as a baseline or progressive JPEG; `commentBytes` adds a COM
// marker of that size right after the header.
ByteBuffer EncodeJpeg(const RgbPicture& picture, int components, int quality = 90, bool progressive = false,
                      int commentBytes = 0);

// Decodes with libjpeg's own memory source in one piece: the reference
// that chunked decoding must match.
RgbPicture DecodeJpegReference(ByteView jpeg);

// A picture filled with `pixel(x, y)` colours.
template <typename PixelFunction>
RgbPicture MakePicture(int width, int height, PixelFunction pixel) {
  RgbPicture picture;
  picture.width = width;
  picture.height = height;
  picture.pixels.reserve(static_cast<std::size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const auto [r, g, b] = pixel(x, y);
      picture.pixels.push_back(static_cast<std::uint8_t>(r));
      picture.pixels.push_back(static_cast<std::uint8_t>(g));
      picture.pixels.push_back(static_cast<std::uint8_t>(b));
    }
  }
  return picture;
}

// Mean absolute difference of two equally sized pictures over rows [top, bottom).
double MeanDifference(const RgbPicture& a, const RgbPicture& b, int top, int bottom);

}  // namespace bootlume::test
