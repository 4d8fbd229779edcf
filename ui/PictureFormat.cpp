#include "ui/PictureFormat.h"

#include <cstring>

namespace bootlume {
namespace {

constexpr std::size_t kSignatureLength = 6;

bool StartsWith(ByteView bytes, const char* prefix, std::size_t length) {
  return std::memcmp(bytes.data(), prefix, length) == 0;
}

}  // namespace

PictureFormat RecognisePictureFormat(ByteView bytes) {
  if (bytes.size() < kSignatureLength) return PictureFormat::kUnrecognised;
  // Tested in this order; the first matching row wins.
  if (bytes[0] == 0x42 && bytes[1] == 0x4D) return PictureFormat::kBmp;
  if (bytes[0] == 0xFF && bytes[1] == 0xD8) return PictureFormat::kJpeg;
  const unsigned count = bytes[4] | (bytes[5] << 8);
  if (StartsWith(bytes, "\0\0\1\0", 4) && count > 0) return PictureFormat::kIcon;
  if (StartsWith(bytes, "\0\0\2\0", 4) && count > 0) return PictureFormat::kCursor;
  if (StartsWith(bytes, "GIF87a", 6) || StartsWith(bytes, "GIF89a", 6)) return PictureFormat::kGif;
  if (bytes[0] == 0x0A && bytes[1] <= 5 && bytes[2] == 0x01 && bytes[3] == 0x08) return PictureFormat::kPcx8;
  if (bytes[0] == 0x0A && bytes[1] == 0x03 && bytes[2] == 0x01 && bytes[3] == 0x01) return PictureFormat::kPcx1;
  return PictureFormat::kUnrecognised;
}

}  // namespace bootlume
