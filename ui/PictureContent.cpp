#include "ui/PictureContent.h"

#include <algorithm>
#include <cmath>

#include "ui/JpegDecoder.h"
#include "ui/PictureScaling.h"

namespace bootlume {

PictureRect PlacePicture(int displayMode, int viewWidth, int viewHeight, int pictureWidth, int pictureHeight) {
  if (pictureWidth <= 0 || pictureHeight <= 0) return {};
  switch (displayMode) {
    case 0:
      return {0, 0, pictureWidth, pictureHeight};
    case 2: {
      int width = pictureWidth, height = pictureHeight;
      if (width > viewWidth || height > viewHeight) {
        const double scale =
            std::min(static_cast<double>(viewWidth) / pictureWidth, static_cast<double>(viewHeight) / pictureHeight);
        width = std::max(1, static_cast<int>(pictureWidth * scale));
        height = std::max(1, static_cast<int>(pictureHeight * scale));
      }
      return {(viewWidth - width) / 2, (viewHeight - height) / 2, width, height};
    }
    default:  // 1, and 3 once the view has taken the picture's size
      return {0, 0, viewWidth, viewHeight};
  }
}

PictureContent::PictureContent(const Settings& settings)
    : border_(std::clamp(settings.border, 0, 5)),
      backColour_(settings.backColour),
      displayMode_(std::clamp(settings.displayMode, 0, 3)),
      playAnimation_(settings.playAnimation) {}

void PictureContent::SetPicture(ByteView bytes) {
  held_ = ByteBuffer(bytes);
  decoded_.reset();
  scaled_.reset();
  format_ = RecognisePictureFormat(held_);
  // Only JPEG is decoded: nothing in the system writes the other formats.
  if (format_ == PictureFormat::kJpeg) decoded_ = DecodeJpeg(held_);
}

void PictureContent::SetBorder(int border) { border_ = std::clamp(border, 0, 5); }

void PictureContent::SetDisplayMode(int mode) {
  displayMode_ = std::clamp(mode, 0, 2);
  scaled_.reset();
}

PictureRect PictureContent::Placement(int viewWidth, int viewHeight) const {
  if (!decoded_) return {};
  return PlacePicture(displayMode_, viewWidth, viewHeight, decoded_->width, decoded_->height);
}

const RgbPicture* PictureContent::ScaledFor(int viewWidth, int viewHeight) {
  if (!decoded_) return nullptr;
  const PictureRect place = Placement(viewWidth, viewHeight);
  if (place.width == decoded_->width && place.height == decoded_->height) return &*decoded_;
  if (!scaled_ || scaledForWidth_ != viewWidth || scaledForHeight_ != viewHeight) {
    scaled_ = ScalePicture(*decoded_, place.width, place.height);
    scaledForWidth_ = viewWidth;
    scaledForHeight_ = viewHeight;
  }
  return scaled_->empty() ? nullptr : &*scaled_;
}

}  // namespace bootlume
