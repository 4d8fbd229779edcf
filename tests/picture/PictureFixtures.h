// Test pictures made and decoded by ImageMagick, the independent oracle, and
// by libjpeg/libpng where ImageMagick cannot write a variant; picture
// comparison by PSNR.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/ByteBuffer.h"
#include "tools/picture/PictureInput.h"

namespace bootlume::picture::test {

// Runs ImageMagick's `convert` with these arguments; true when it succeeded.
bool Convert(const std::vector<std::string>& arguments);

// ImageMagick's decoding of the file's first frame as 8-bit RGB, after the
// given operators (e.g. "-auto-orient"), transparency over black.
std::optional<RgbImage> DecodeWithImageMagick(const std::string& path, const std::vector<std::string>& operators = {});

// PSNR over all RGB samples in dB; +infinity when equal, 0 when the sizes differ.
double Psnr(const RgbImage& a, const RgbImage& b);

RgbImage MakeImage(int width, int height, std::uint8_t r, std::uint8_t g, std::uint8_t b);
const std::uint8_t* PixelAt(const RgbImage& image, int x, int y);

// What a JPEG file holds, read from its markers up to the first scan.
struct JpegLayout {
  int frameMarker = 0;      // 0xC0 baseline, 0xC2 progressive, ...
  int components = 0;
  int adobeTransform = -1;  // -1: no Adobe APP14 marker
  bool hasExif = false;
};
std::optional<JpegLayout> ReadJpegLayout(ByteView file);

// The file with an APP1 EXIF block holding only the orientation tag, in
// little- or big-endian TIFF order, placed right after SOI.
ByteBuffer WithExifOrientation(ByteView jpeg, int orientation, bool littleEndian);

// Writes CMYK as libjpeg does when asked: `adobeMarker` stores it inverted
// with Adobe's marker (transform 0), otherwise plain without the marker.
// The ink comes from the RGB picture (C = 255 - R, ..., K = 0 .. 255 ramp).
bool WriteCmykJpeg(const std::string& path, const RgbImage& picture, bool adobeMarker);

// Writes an indexed PNG with libpng; libpng picks the smallest bit depth
// for the palette size, and entries with alpha < 255 go into tRNS.
bool WritePalettePng(const std::string& path, int width, int height, const std::vector<std::uint8_t>& indices,
                     const std::vector<std::uint8_t>& rgbaPalette);

}  // namespace bootlume::picture::test
