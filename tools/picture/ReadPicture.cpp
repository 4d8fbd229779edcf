#include "platform/SystemServices.h"
#include "tools/picture/Decoders.h"
#include "tools/picture/PictureFormat.h"
#include "tools/picture/PictureInput.h"

namespace bootlume::picture {

bool IsAcceptableSize(std::int64_t width, std::int64_t height) {
  return width > 0 && height > 0 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
         width * height <= kMaxPicturePixels;
}

ReadResult CannotOpen(std::string detail) { return {ReadStatus::kCannotOpen, {}, std::move(detail)}; }

ReadResult ReadPicture(const std::string& path, int targetWidth, int targetHeight) {
  const ByteBuffer file = ReadWholeFile(Text(path));
  if (file.empty()) return CannotOpen("the file is missing, unreadable or empty");
  return DecodePicture(file, targetWidth, targetHeight);
}

ReadResult DecodePicture(ByteView file, int targetWidth, int targetHeight) {
  switch (DetectPictureFormat(file)) {
    case PictureFormat::kJpeg: return DecodeJpeg(file, targetWidth, targetHeight);
    case PictureFormat::kPng: return DecodePng(file);
    case PictureFormat::kBmp: return DecodeBmp(file);
    case PictureFormat::kGif: return DecodeGif(file);
    case PictureFormat::kUnknown: break;
  }
  return CannotOpen("not a JPEG, PNG, BMP or GIF picture");
}

}  // namespace bootlume::picture
