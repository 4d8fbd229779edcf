// Pictures the project draws itself for its demo firmware: a test card and a
// second picture to put in its place, written as 24-bit BMP files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bootlume::samples {

struct Canvas {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;  // width * height * 3
};

// Colour bars, a grey ramp, a fine checkerboard, a circle and the word
// BOOTLUME: details a viewer checks a boot picture by.
Canvas DrawTestCard(int width, int height);

// A dusk sky with a sun and a skyline, the demo's replacement picture.
Canvas DrawSkyline(int width, int height);

// The canvas as an uncompressed bottom-up 24-bit BMP file.
std::vector<std::uint8_t> EncodeBmp(const Canvas& canvas);

}  // namespace bootlume::samples
