// Baseline JPEG coding of an R'G'B' picture with libjpeg-turbo.
#pragma once

#include <string>

#include "platform/ByteBuffer.h"
#include "tools/decoder/PictureScaler.h"

namespace bootlume::decoder {

inline constexpr int kJpegQuality = 92;

struct JpegResult {
  ByteBuffer bytes;     // a whole JFIF file; empty on failure
  std::string failure;  // libjpeg's message
};

// Baseline (sequential) JPEG at the given quality with optimised Huffman
// tables and full-resolution chroma (4:4:4), so thin coloured lines of a
// logo keep their colour.
JpegResult EncodeJpeg(const RgbPicture& picture, int quality = kJpegQuality);

}  // namespace bootlume::decoder
