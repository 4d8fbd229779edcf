// Reading a user's picture and preparing it as one MPEG-2 frame:
// decode (any common format), stretch to the frame, convert to Y'CbCr 4:2:0.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bootlume::picture {

// 8-bit R'G'B' pixels, interleaved, rows top to bottom without padding.
struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;  // width * height * 3
};

enum class ReadStatus {
  kOk,
  kCannotOpen,          // missing, unreadable, not a picture, or damaged beyond use
  kDecoderUnavailable,  // a picture decoding library could not start
};

struct ReadResult {
  ReadStatus status = ReadStatus::kCannotOpen;
  RgbImage image;
  std::string detail;  // why, for a failure
};

// Decodes a JPEG, PNG, BMP or GIF file (format from the content, not the
// name) with its EXIF orientation applied and transparency composited over
// black. With a target size, a large picture may come back reduced (a JPEG
// decoded at a DCT scale) but never below twice the target in either
// direction, so that the final resize keeps its quality.
// A file whose picture data is cut off or damaged is kCannotOpen (one that
// lacks only its trailer, JPEG's EOI or PNG's IEND, is read), and so is a
// picture above 65535 pixels a side or 2^27 pixels, refused from its header.
// Running out of memory throws std::bad_alloc, also inside the decoders.
ReadResult ReadPicture(const std::string& path, int targetWidth = 0, int targetHeight = 0);

// Stretches to width x height without keeping the aspect ratio, with a
// quality filter (Lanczos3 scaled to the reduction when reducing, Catmull-Rom
// when enlarging); the same size gives the same pixels.
RgbImage ResizeRgb(const RgbImage& source, int width, int height);

// ITU-R BT.601 Y'CbCr with studio ranges (each value correctly rounded),
// chroma low-pass filtered onto MPEG-2's 4:2:0 positions: horizontally on the
// even luma columns, vertically midway between luma rows 2j and 2j+1.
// Width and height are even.
struct Planes420 {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> y;   // width * height
  std::vector<std::uint8_t> cb;  // (width / 2) * (height / 2)
  std::vector<std::uint8_t> cr;
};

Planes420 ToPlanes420(const RgbImage& frame);

}  // namespace bootlume::picture
