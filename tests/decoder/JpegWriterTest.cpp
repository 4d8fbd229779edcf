// JPEG coding of the converted picture, checked by decoding it with libjpeg.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/decoder/PictureCompare.h"
#include "tests/support/TestSupport.h"
#include "tools/decoder/JpegWriter.h"

namespace bootlume::decoder {
namespace {

// A smooth picture with a saturated one-pixel red line on black, the kind of
// detail a logo has; rows padded as the scaler pads them.
RgbPicture TestPicture(int width, int height) {
  RgbPicture picture{width, height, (width * 3 + 63) / 64 * 64, {}};
  picture.pixels.assign(static_cast<std::size_t>(picture.stride) * height, 0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      std::uint8_t* pixel = picture.pixels.data() + static_cast<std::size_t>(y) * picture.stride + x * 3;
      if (y < height / 2) {
        pixel[0] = static_cast<std::uint8_t>(255 * x / width);
        pixel[1] = static_cast<std::uint8_t>(255 * y / height);
        pixel[2] = static_cast<std::uint8_t>(128 + 100 * std::sin(x * 0.05));
      } else if (x == width / 3) {
        pixel[0] = 255;
      }
    }
  }
  return picture;
}

test::Pixels Unpadded(const RgbPicture& picture) {
  test::Pixels pixels{picture.width, picture.height, {}};
  for (int y = 0; y < picture.height; ++y) {
    const auto* row = picture.pixels.data() + static_cast<std::size_t>(y) * picture.stride;
    pixels.rgb.insert(pixels.rgb.end(), row, row + picture.width * 3);
  }
  return pixels;
}

TEST(EncodeJpeg, BaselineJpegCloseToTheInput) {
  const RgbPicture picture = TestPicture(720, 480);
  const JpegResult jpeg = EncodeJpeg(picture);
  ASSERT_FALSE(jpeg.bytes.empty()) << jpeg.failure;
  bootlume::test::TempDirectory scratch;
  bootlume::test::WriteFileBytes(scratch / "out.jpg", jpeg.bytes);
  EXPECT_EQ(test::JpegFrameMarker(scratch / "out.jpg"), 0xC0);
  const auto decoded = test::ReadJpeg(scratch / "out.jpg");
  ASSERT_TRUE(decoded);
  EXPECT_GE(test::RgbPsnr(*decoded, Unpadded(picture)), 40.0);
  // Full-resolution chroma keeps the thin red line red.
  const std::size_t onLine = (static_cast<std::size_t>(400) * 720 + 240) * 3;
  EXPECT_GE(decoded->rgb[onLine], 200);
  EXPECT_LE(decoded->rgb[onLine + 1], 40);
}

TEST(EncodeJpeg, OddSizes) {
  const JpegResult jpeg = EncodeJpeg(TestPicture(17, 9));
  ASSERT_FALSE(jpeg.bytes.empty()) << jpeg.failure;
  bootlume::test::TempDirectory scratch;
  bootlume::test::WriteFileBytes(scratch / "odd.jpg", jpeg.bytes);
  const auto decoded = test::ReadJpeg(scratch / "odd.jpg");
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->width, 17);
  EXPECT_EQ(decoded->height, 9);
}

TEST(EncodeJpeg, EmptyPictureFailsWithLibjpegsMessage) {
  const JpegResult jpeg = EncodeJpeg(RgbPicture{});
  EXPECT_TRUE(jpeg.bytes.empty());
  EXPECT_FALSE(jpeg.failure.empty());
}

}  // namespace
}  // namespace bootlume::decoder
