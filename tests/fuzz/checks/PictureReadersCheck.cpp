// The encoder's picture readers (JPEG, PNG, BMP, GIF, told apart by their
// first bytes) on an arbitrary file, then the resize and 4:2:0 conversion.
// Inputs of even length are read for the PAL frame (a large JPEG may come
// back reduced), odd ones at full size.
// Properties: either a picture within the size limits whose pixel count
// matches its size, or a failure with a reason and no pixels; a picture
// resizes to exactly the size asked and converts to planes of the right
// sizes.
#include <string>

#include "tests/fuzz/checks/FuzzChecks.h"
#include "tools/picture/Decoders.h"
#include "tools/picture/PictureInput.h"

namespace bootlume::fuzz {

CheckResult CheckPictureReaders(ByteView input) {
  const bool forFrame = input.size() % 2 == 0;
  const picture::ReadResult read = picture::DecodePicture(input, forFrame ? 720 : 0, forFrame ? 576 : 0);
  const picture::RgbImage& image = read.image;
  if (read.status != picture::ReadStatus::kOk) {
    if (read.status == picture::ReadStatus::kDecoderUnavailable) {
      return CheckResult::Fail("a picture library did not start: " + read.detail);
    }
    if (read.detail.empty()) return CheckResult::Fail("a failure without a reason");
    if (!image.pixels.empty()) return CheckResult::Fail("a failure with pixels");
    return CheckResult::Pass();
  }
  const std::string size = std::to_string(image.width) + "x" + std::to_string(image.height);
  if (!picture::IsAcceptableSize(image.width, image.height)) {
    return CheckResult::Fail("a picture of " + size + " was read, beyond the limits");
  }
  if (image.pixels.size() != static_cast<std::size_t>(image.width) * image.height * 3) {
    return CheckResult::Fail("a " + size + " picture with " + std::to_string(image.pixels.size()) + " bytes of pixels");
  }
  constexpr int kWidth = 48, kHeight = 32;
  const picture::RgbImage resized = picture::ResizeRgb(image, kWidth, kHeight);
  if (resized.width != kWidth || resized.height != kHeight || resized.pixels.size() != kWidth * kHeight * 3) {
    return CheckResult::Fail("a " + size + " picture did not resize to 48x32");
  }
  const picture::Planes420 planes = picture::ToPlanes420(resized);
  if (planes.width != kWidth || planes.height != kHeight || planes.y.size() != kWidth * kHeight ||
      planes.cb.size() != kWidth * kHeight / 4 || planes.cr.size() != kWidth * kHeight / 4) {
    return CheckResult::Fail("the 4:2:0 planes have the wrong sizes");
  }
  return CheckResult::Pass();
}

}  // namespace bootlume::fuzz
