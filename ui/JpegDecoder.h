// JPEG decoding for the picture view, with libjpeg.
#pragma once

#include <optional>

#include "platform/ByteBuffer.h"
#include "ui/RgbPicture.h"

namespace bootlume {

// Pictures with more pixels than this are refused rather than allocated.
inline constexpr long long kMaxDecodedPixels = 64LL * 1024 * 1024;

// Decodes JPEG bytes to RGB. The data is handed to libjpeg in 4096-byte
// chunks; data that ends early gets an end marker, so a cut-off picture still
// yields its top part (the rest as libjpeg completes it). Grey pictures come
// back with each sample repeated into R, G and B, CMYK pictures (Adobe's
// inverted form) converted to RGB. Any libjpeg error yields nothing.
std::optional<RgbPicture> DecodeJpeg(ByteView bytes);

}  // namespace bootlume
