// Reading the tests' pictures (JPEG through libjpeg, binary PPM) and
// comparing them by PSNR.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace bootlume::decoder::test {

// 8-bit RGB, interleaved, rows without padding.
struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;
};

// Decodes a JPEG file to RGB with libjpeg; empty when it is not a JPEG.
std::optional<Pixels> ReadJpeg(const std::string& path);

// Reads a binary (P6, 8-bit) PPM file.
std::optional<Pixels> ReadPpm(const std::string& path);

// Which frame type the file's first SOF marker declares: 0xC0 baseline,
// 0xC1 extended, 0xC2 progressive ...; -1 when there is none.
int JpegFrameMarker(const std::string& path);

// PSNR in dB over the R, G and B samples of two pictures of one size
// (infinity when equal, NaN when the sizes differ).
double RgbPsnr(const Pixels& a, const Pixels& b);

// PSNR of the BT.601 luma (Y') of two pictures of one size.
double LumaPsnr(const Pixels& a, const Pixels& b);

}  // namespace bootlume::decoder::test
