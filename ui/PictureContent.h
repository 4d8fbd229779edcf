// What a picture view holds and how it lays its picture out, independent of
// the toolkit that paints it.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/ByteBuffer.h"
#include "ui/PictureFormat.h"
#include "ui/RgbPicture.h"

namespace bootlume {

// Colour value with red in the low byte; this one means the button face.
inline constexpr std::uint32_t kButtonFaceColour = 0xFF000000;

struct PictureRect {
  int x = 0, y = 0, width = 0, height = 0;
  friend bool operator==(const PictureRect&, const PictureRect&) = default;
};

// Where a w x h picture is drawn in a W x H view for a display mode:
// 0 own size at the top-left; 1 and 3 stretched over the whole view;
// 2 own size centred when it fits, otherwise shrunk by min(W/w, H/h), centred.
PictureRect PlacePicture(int displayMode, int viewWidth, int viewHeight, int pictureWidth, int pictureHeight);

class PictureContent {
 public:
  // Settings as a form stores them; display mode 3 is only possible here.
  struct Settings {
    int border = 0;                // 0 none .. 5 thin line
    std::uint32_t backColour = 0;  // black
    int displayMode = 1;           // stretched
    bool playAnimation = true;
  };

  explicit PictureContent(const Settings& settings);

  // Keeps a copy, recognises the format and decodes the picture once.
  void SetPicture(ByteView bytes);
  ByteBuffer Picture() const { return held_; }

  PictureFormat Format() const { return format_; }
  const std::optional<RgbPicture>& Decoded() const { return decoded_; }

  int Border() const { return border_; }
  void SetBorder(int border);
  std::uint32_t BackColour() const { return backColour_; }
  void SetBackColour(std::uint32_t colour) { backColour_ = colour; }
  int DisplayMode() const { return displayMode_; }
  void SetDisplayMode(int mode);  // clamped to 0..2
  bool PlayAnimation() const { return playAnimation_; }
  void SetPlayAnimation(bool on) { playAnimation_ = on; }

  // Where the decoded picture goes in a view of the given size; empty when
  // there is no decoded picture.
  PictureRect Placement(int viewWidth, int viewHeight) const;

  // The decoded picture resized to its placement in a view of that size,
  // smoothly filtered; kept until the picture or the size changes. Null when
  // there is no decoded picture.
  const RgbPicture* ScaledFor(int viewWidth, int viewHeight);

 private:
  ByteBuffer held_;
  PictureFormat format_ = PictureFormat::kUnrecognised;
  std::optional<RgbPicture> decoded_;
  int border_;
  std::uint32_t backColour_;
  int displayMode_;
  bool playAnimation_;
  std::optional<RgbPicture> scaled_;
  int scaledForWidth_ = -1;
  int scaledForHeight_ = -1;
};

}  // namespace bootlume
