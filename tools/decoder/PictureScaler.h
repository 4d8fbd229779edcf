// Turns a decoded Y'CbCr frame into full-range R'G'B' at any size with
// libswscale, honouring the stream's colour matrix and chroma siting.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
}

namespace bootlume::decoder {

// 8-bit R'G'B' pixels, interleaved, `stride` bytes from one row to the next.
struct RgbPicture {
  int width = 0;
  int height = 0;
  int stride = 0;
  std::vector<std::uint8_t> pixels;  // stride * height, and some padding
};

// Stretches to width x height without keeping the aspect ratio (bicubic,
// accurate rounding, full chroma resolution). Studio-range input becomes
// full-range output; the matrix is the frame's own, BT.601 when it names
// none. Empty when libswscale refuses the conversion.
std::optional<RgbPicture> ScaleToRgb(const AVFrame& frame, bool mpeg2, int width, int height);

}  // namespace bootlume::decoder
