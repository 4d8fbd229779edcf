#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "tests/ui/JpegFixtures.h"
#include "ui/JpegDecoder.h"
#include "ui/PictureContent.h"
#include "ui/PictureFormat.h"
#include "ui/PictureScaling.h"

namespace bootlume {
namespace {

using test::EncodeJpeg;
using test::MakePicture;

// Smooth colour ramps with a few hard edges: varied enough that a wrong
// decode shows, compressible enough to stay small.
RgbPicture Ramps(int width, int height) {
  return MakePicture(width, height, [&](int x, int y) {
    return std::tuple{x * 255 / width, y * 255 / height, ((x / 16 + y / 16) % 2) * 200};
  });
}

// Deterministic noise: JPEG cannot squeeze it, so the file spans many chunks.
RgbPicture Noise(int width, int height) {
  unsigned state = 12345;
  return MakePicture(width, height, [&](int, int) {
    state = state * 1103515245 + 12345;
    return std::tuple{(state >> 8) & 255, (state >> 16) & 255, (state >> 24) & 255};
  });
}

PictureContent::Settings FormSettings() { return {0, 0x000000, 1, true}; }

struct FormatCase {
  const char* name;
  ByteBuffer bytes;
  PictureFormat format;
};

TEST(PictureFormat, RecognisesTheTableInOrder) {
  const std::vector<FormatCase> cases = {
      {"bmp", {0x42, 0x4D, 0, 0, 0, 0}, PictureFormat::kBmp},
      {"jpeg", {0xFF, 0xD8, 0xFF, 0xE0, 0, 0x10}, PictureFormat::kJpeg},
      {"jpeg signature only, six bytes", {0xFF, 0xD8, 0, 0, 0, 0}, PictureFormat::kJpeg},
      {"icon with one entry", {0, 0, 1, 0, 1, 0}, PictureFormat::kIcon},
      {"icon count in the high byte", {0, 0, 1, 0, 0, 1}, PictureFormat::kIcon},
      {"icon without entries", {0, 0, 1, 0, 0, 0}, PictureFormat::kUnrecognised},
      {"cursor", {0, 0, 2, 0, 3, 0}, PictureFormat::kCursor},
      {"cursor without entries", {0, 0, 2, 0, 0, 0}, PictureFormat::kUnrecognised},
      {"gif87a", ByteBuffer::FromString("GIF87a"), PictureFormat::kGif},
      {"gif89a", ByteBuffer::FromString("GIF89a!"), PictureFormat::kGif},
      {"gif88a", ByteBuffer::FromString("GIF88a"), PictureFormat::kUnrecognised},
      {"pcx 8 bit version 5", {0x0A, 5, 1, 8, 0, 0}, PictureFormat::kPcx8},
      {"pcx 8 bit version 0", {0x0A, 0, 1, 8, 0, 0}, PictureFormat::kPcx8},
      {"pcx 8 bit version 6", {0x0A, 6, 1, 8, 0, 0}, PictureFormat::kUnrecognised},
      {"pcx 1 bit", {0x0A, 3, 1, 1, 0, 0}, PictureFormat::kPcx1},
      {"pcx 1 bit other version", {0x0A, 5, 1, 1, 0, 0}, PictureFormat::kUnrecognised},
      {"five jpeg bytes", {0xFF, 0xD8, 0xFF, 0xE0, 0}, PictureFormat::kUnrecognised},
      {"empty", {}, PictureFormat::kUnrecognised},
      {"mpeg sequence header", {0, 0, 1, 0xB3, 0x2D, 0}, PictureFormat::kUnrecognised},
      {"png", {0x89, 'P', 'N', 'G', 0x0D, 0x0A}, PictureFormat::kUnrecognised},
  };
  for (const FormatCase& c : cases) {
    EXPECT_EQ(RecognisePictureFormat(c.bytes), c.format) << c.name;
  }
}

TEST(JpegDecoder, DecodesColourPictureCloseToTheOriginal) {
  const RgbPicture original = Ramps(100, 60);
  const ByteBuffer jpeg = EncodeJpeg(original, 3, 95);
  const std::optional<RgbPicture> decoded = DecodeJpeg(jpeg);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->width, 100);
  EXPECT_EQ(decoded->height, 60);
  EXPECT_EQ(decoded->pixels, test::DecodeJpegReference(jpeg).pixels);
  EXPECT_LT(test::MeanDifference(*decoded, original, 0, 60), 8.0);
}

TEST(JpegDecoder, GreyPictureComesBackGrey) {
  const RgbPicture ramp = MakePicture(64, 32, [](int x, int) { return std::tuple{x * 4, x * 4, x * 4}; });
  const std::optional<RgbPicture> decoded = DecodeJpeg(EncodeJpeg(ramp, 1));
  ASSERT_TRUE(decoded);
  int brightest = 0;
  for (int y = 0; y < decoded->height; ++y) {
    for (int x = 0; x < decoded->width; ++x) {
      const std::uint8_t* p = decoded->Pixel(x, y);
      ASSERT_EQ(p[0], p[1]);
      ASSERT_EQ(p[1], p[2]);
      brightest = std::max<int>(brightest, p[0]);
    }
  }
  EXPECT_GT(brightest, 200);  // the ramp is there, not a flat grey
}

TEST(JpegDecoder, DataSpanningManyChunksAndALongMarker) {
  // Noise makes the scan far larger than one 4096-byte chunk, and the comment
  // marker has to be skipped across chunk boundaries.
  const RgbPicture original = Noise(128, 128);
  for (const bool progressive : {false, true}) {
    const ByteBuffer jpeg = EncodeJpeg(original, 3, 95, progressive, 10000);
    ASSERT_GT(jpeg.size(), 5 * 4096);
    const std::optional<RgbPicture> decoded = DecodeJpeg(jpeg);
    ASSERT_TRUE(decoded) << "progressive " << progressive;
    EXPECT_EQ(decoded->pixels, test::DecodeJpegReference(jpeg).pixels) << "progressive " << progressive;
  }
}

TEST(JpegDecoder, CutOffPictureStillShowsItsTopPart) {
  const RgbPicture original = Noise(128, 128);
  const ByteBuffer jpeg = EncodeJpeg(original, 3, 95);
  const std::optional<RgbPicture> full = DecodeJpeg(jpeg);
  ASSERT_TRUE(full);
  // Roughly the first half of the scan: the top rows are decoded as in the
  // whole picture, the bottom is libjpeg's filling, unlike the original.
  const ByteBuffer half(ByteView(jpeg).first(static_cast<std::size_t>(jpeg.size() / 2)));
  const std::optional<RgbPicture> cut = DecodeJpeg(half);
  ASSERT_TRUE(cut);
  EXPECT_EQ(cut->width, 128);
  EXPECT_EQ(cut->height, 128);
  EXPECT_EQ(test::MeanDifference(*cut, *full, 0, 32), 0.0);
  EXPECT_GT(test::MeanDifference(*cut, original, 112, 128), 30.0);
}

TEST(JpegDecoder, BrokenDataYieldsNoPicture) {
  const ByteBuffer valid = EncodeJpeg(Ramps(32, 32), 3);
  const std::vector<std::pair<const char*, ByteBuffer>> cases = {
      {"signature and garbage", {0xFF, 0xD8, 0x12, 0x34, 0x56, 0x78, 0x9A}},
      {"five bytes", {0xFF, 0xD8, 0xFF, 0xE0, 0x00}},
      {"empty", {}},
      {"header cut before the frame", ByteBuffer(ByteView(valid).first(20))},
      {"signature only", {0xFF, 0xD8}},
  };
  for (const auto& [name, bytes] : cases) {
    EXPECT_FALSE(DecodeJpeg(bytes)) << name;
  }
}

TEST(JpegDecoder, HugeDeclaredSizeIsRefusedNotAllocated) {
  // A valid header that declares 60000 x 60000 pixels, then ends.
  ByteBuffer jpeg = EncodeJpeg(Ramps(16, 16), 3);
  const ByteView view(jpeg);
  for (std::int32_t i = 0; i + 8 < jpeg.size(); ++i) {
    if (view[i] == 0xFF && view[i + 1] == 0xC0) {  // SOF0: length, precision, height, width
      jpeg.data()[i + 5] = 0xEA, jpeg.data()[i + 6] = 0x60;
      jpeg.data()[i + 7] = 0xEA, jpeg.data()[i + 8] = 0x60;
      break;
    }
  }
  EXPECT_FALSE(DecodeJpeg(jpeg));
}

TEST(PictureContent, KeepsExactlyTheBytesWrittenAndReadsFreshCopies) {
  PictureContent content(FormSettings());
  EXPECT_TRUE(content.Picture().empty());
  const std::vector<ByteBuffer> writes = {
      EncodeJpeg(Ramps(40, 30), 3),
      {0xFF, 0xD8, 0xFF, 0xE0, 0x00},        // too short to recognise
      {0xFF, 0xD8, 1, 2, 3, 4, 5, 6, 7, 8},  // JPEG signature, not a JPEG
      ByteBuffer::FromString("GIF89a not decoded"),
  };
  for (const ByteBuffer& bytes : writes) {
    ByteBuffer caller = bytes;
    content.SetPicture(caller);
    caller.data()[0] ^= 0xFF;  // the caller's buffer is its own
    ByteBuffer first = content.Picture();
    const ByteBuffer second = content.Picture();
    EXPECT_EQ(first, bytes);
    EXPECT_EQ(second, bytes);
    first.data()[1] ^= 0xFF;  // so is each copy read out
    EXPECT_EQ(content.Picture(), bytes);
  }
}

TEST(PictureContent, ShowsOnlyWhatDecodes) {
  PictureContent content(FormSettings());
  content.SetPicture(EncodeJpeg(Ramps(40, 30), 3));
  ASSERT_TRUE(content.Decoded());
  EXPECT_EQ(content.Placement(352, 264), (PictureRect{0, 0, 352, 264}));

  content.SetPicture(ByteBuffer{0xFF, 0xD8, 0xFF, 0xE0, 0x00});
  EXPECT_EQ(content.Format(), PictureFormat::kUnrecognised);
  EXPECT_FALSE(content.Decoded());
  EXPECT_EQ(content.ScaledFor(352, 264), nullptr);

  content.SetPicture(ByteBuffer{0xFF, 0xD8, 1, 2, 3, 4, 5, 6, 7, 8});
  EXPECT_EQ(content.Format(), PictureFormat::kJpeg);
  EXPECT_FALSE(content.Decoded());

  content.SetPicture(ByteBuffer());
  EXPECT_TRUE(content.Picture().empty());
  EXPECT_FALSE(content.Decoded());
}

TEST(PictureContent, AnyJpegFillsTheWholeViewAndTheScaledPictureIsKept) {
  PictureContent content(FormSettings());
  for (const auto& [w, h] : {std::pair{720, 480}, std::pair{16, 8}, std::pair{352, 264}}) {
    content.SetPicture(EncodeJpeg(Ramps(w, h), 3));
    const RgbPicture* scaled = content.ScaledFor(352, 264);
    ASSERT_NE(scaled, nullptr);
    EXPECT_EQ(scaled->width, 352);
    EXPECT_EQ(scaled->height, 264);
    EXPECT_EQ(content.ScaledFor(352, 264), scaled);  // kept while nothing changes
    const RgbPicture* resized = content.ScaledFor(200, 100);
    ASSERT_NE(resized, nullptr);
    EXPECT_EQ(resized->width, 200);
    EXPECT_EQ(resized->height, 100);
  }
}

TEST(PictureContent, SettingsAreClamped) {
  PictureContent content(PictureContent::Settings{9, kButtonFaceColour, 3, false});
  EXPECT_EQ(content.Border(), 5);
  EXPECT_EQ(content.DisplayMode(), 3);  // possible from a form
  content.SetDisplayMode(3);
  EXPECT_EQ(content.DisplayMode(), 2);  // not at run time
  content.SetDisplayMode(-4);
  EXPECT_EQ(content.DisplayMode(), 0);
  content.SetBorder(-1);
  EXPECT_EQ(content.Border(), 0);
}

TEST(PlacePicture, EachDisplayMode) {
  struct Case {
    int mode, viewW, viewH, w, h;
    PictureRect expected;
  };
  const std::vector<Case> cases = {
      {0, 352, 264, 720, 480, {0, 0, 720, 480}},
      {0, 352, 264, 10, 10, {0, 0, 10, 10}},
      {1, 352, 264, 720, 480, {0, 0, 352, 264}},
      {1, 352, 264, 10, 400, {0, 0, 352, 264}},
      {3, 352, 264, 720, 480, {0, 0, 352, 264}},
      {2, 352, 264, 100, 50, {126, 107, 100, 50}},  // fits: own size, centred
      {2, 352, 264, 720, 480, {0, 15, 352, 234}},   // shrunk by 352/720
      {2, 352, 264, 300, 600, {110, 0, 132, 264}},  // shrunk by 264/600
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PlacePicture(c.mode, c.viewW, c.viewH, c.w, c.h), c.expected)
        << "mode " << c.mode << " picture " << c.w << "x" << c.h;
  }
}

TEST(ScalePicture, ShrinkingAveragesInsteadOfDroppingPixels) {
  // One-pixel black and white stripes: dropping pixels gives black or white,
  // averaging gives mid grey everywhere.
  const RgbPicture stripes = MakePicture(720, 480, [](int x, int) {
    const int v = (x % 2) * 255;
    return std::tuple{v, v, v};
  });
  const RgbPicture small = ScalePicture(stripes, 352, 264);
  ASSERT_EQ(small.width, 352);
  ASSERT_EQ(small.height, 264);
  for (int x = 0; x < small.width; ++x) {
    const int value = small.Pixel(x, 100)[0];
    ASSERT_GT(value, 90) << x;
    ASSERT_LT(value, 165) << x;
  }
}

TEST(ScalePicture, EnlargingInterpolatesAndFlatStaysFlat) {
  const RgbPicture two = MakePicture(2, 1, [](int x, int) { return std::tuple{x * 200, 0, 0}; });
  const RgbPicture wide = ScalePicture(two, 8, 1);
  int between = 0;
  for (int x = 0; x < 8; ++x) {
    const int red = wide.Pixel(x, 0)[0];
    if (red > 20 && red < 180) ++between;
    if (x > 0) {
      EXPECT_GE(red, wide.Pixel(x - 1, 0)[0]);
    }
  }
  EXPECT_GE(between, 3);

  const RgbPicture flat = MakePicture(37, 23, [](int, int) { return std::tuple{10, 120, 250}; });
  const RgbPicture resized = ScalePicture(flat, 352, 264);
  for (std::size_t i = 0; i < resized.pixels.size(); i += 3) {
    ASSERT_EQ(resized.pixels[i], 10);
    ASSERT_EQ(resized.pixels[i + 1], 120);
    ASSERT_EQ(resized.pixels[i + 2], 250);
  }
  EXPECT_TRUE(ScalePicture(flat, 0, 10).empty());
  EXPECT_TRUE(ScalePicture(RgbPicture{}, 10, 10).empty());
}

}  // namespace
}  // namespace bootlume
