#include "tools/picture/PictureFormat.h"

#include <algorithm>
#include <array>

namespace bootlume::picture {
namespace {

template <std::size_t N>
bool StartsWith(ByteView file, const std::array<Byte, N>& signature) {
  return file.size() >= N && std::equal(signature.begin(), signature.end(), file.begin());
}

}  // namespace

PictureFormat DetectPictureFormat(ByteView file) {
  static constexpr std::array<Byte, 3> kJpeg = {0xFF, 0xD8, 0xFF};
  static constexpr std::array<Byte, 8> kPng = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  static constexpr std::array<Byte, 2> kBmp = {'B', 'M'};
  static constexpr std::array<Byte, 6> kGif87 = {'G', 'I', 'F', '8', '7', 'a'};
  static constexpr std::array<Byte, 6> kGif89 = {'G', 'I', 'F', '8', '9', 'a'};
  if (StartsWith(file, kJpeg)) return PictureFormat::kJpeg;
  if (StartsWith(file, kPng)) return PictureFormat::kPng;
  if (StartsWith(file, kGif87) || StartsWith(file, kGif89)) return PictureFormat::kGif;
  if (StartsWith(file, kBmp)) return PictureFormat::kBmp;
  return PictureFormat::kUnknown;
}

}  // namespace bootlume::picture
