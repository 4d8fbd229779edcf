// BT.601 studio-range conversion and the 4:2:0 chroma filter.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "tests/picture/PictureFixtures.h"
#include "tests/support/TestSupport.h"
#include "tools/picture/PictureInput.h"

namespace bootlume::picture::test {
namespace {

using bootlume::test::HaveProgram;
using bootlume::test::ReadFileBytes;
using bootlume::test::RunShell;
using bootlume::test::TempDirectory;

struct Colour {
  const char* name;
  std::uint8_t r, g, b;
  int y, cb, cr;  // BT.601, 8-bit studio range
};

// The well-known values of the 100% colour bars.
const Colour kColours[] = {
    {"black", 0, 0, 0, 16, 128, 128},        {"white", 255, 255, 255, 235, 128, 128},
    {"grey", 128, 128, 128, 126, 128, 128},  {"red", 255, 0, 0, 81, 90, 240},
    {"green", 0, 255, 0, 145, 54, 34},       {"blue", 0, 0, 255, 41, 240, 110},
    {"yellow", 255, 255, 0, 210, 16, 146},   {"cyan", 0, 255, 255, 170, 166, 16},
    {"magenta", 255, 0, 255, 106, 202, 222},
};

TEST(ToPlanes420, FlatColoursGiveTheirBt601Values) {
  for (const Colour& c : kColours) {
    const Planes420 planes = ToPlanes420(MakeImage(16, 12, c.r, c.g, c.b));
    ASSERT_EQ(planes.width, 16);
    ASSERT_EQ(planes.height, 12);
    ASSERT_EQ(planes.y.size(), 16u * 12u);
    ASSERT_EQ(planes.cb.size(), 8u * 6u);
    ASSERT_EQ(planes.cr.size(), 8u * 6u);
    EXPECT_EQ(planes.y, std::vector<std::uint8_t>(planes.y.size(), static_cast<std::uint8_t>(c.y))) << c.name;
    EXPECT_EQ(planes.cb, std::vector<std::uint8_t>(planes.cb.size(), static_cast<std::uint8_t>(c.cb))) << c.name;
    EXPECT_EQ(planes.cr, std::vector<std::uint8_t>(planes.cr.size(), static_cast<std::uint8_t>(c.cr))) << c.name;
  }
}

// The exact value, and whether it lies too close to a half for a double to
// tell which way it rounds.
struct Exact {
  int rounded;
  bool nearHalf;
};

Exact Round(double value) {
  const double fraction = value - std::floor(value);
  return {static_cast<int>(std::floor(value + 0.5)), std::fabs(fraction - 0.5) < 1e-9};
}

Exact LumaOf(int r, int g, int b) { return Round(16.0 + 219.0 * (0.299 * r + 0.587 * g + 0.114 * b) / 255.0); }

TEST(ToPlanes420, LumaIsCorrectlyRoundedForEveryColour) {
  RgbImage all;
  all.width = 4096;
  all.height = 4096;
  all.pixels.resize(4096u * 4096u * 3u);
  for (std::size_t i = 0; i < all.pixels.size() / 3; ++i) {
    all.pixels[3 * i] = static_cast<std::uint8_t>(i >> 16);
    all.pixels[3 * i + 1] = static_cast<std::uint8_t>(i >> 8);
    all.pixels[3 * i + 2] = static_cast<std::uint8_t>(i);
  }
  const Planes420 planes = ToPlanes420(all);
  int wrong = 0;
  for (std::size_t i = 0; i < planes.y.size(); ++i) {
    const Exact expected = LumaOf(static_cast<int>(i >> 16), static_cast<int>((i >> 8) & 255), static_cast<int>(i & 255));
    if (!expected.nearHalf && planes.y[i] != expected.rounded) ++wrong;
  }
  EXPECT_EQ(wrong, 0);
}

TEST(ToPlanes420, ChromaIsCorrectlyRoundedForFlatColours) {
  std::mt19937 random(5);
  for (int i = 0; i < 20000; ++i) {
    const int r = static_cast<int>(random() & 255);
    const int g = static_cast<int>(random() & 255);
    const int b = static_cast<int>(random() & 255);
    const double luma = 0.299 * r + 0.587 * g + 0.114 * b;
    const Exact cb = Round(128.0 + 224.0 * (b - luma) / 1.772 / 255.0);
    const Exact cr = Round(128.0 + 224.0 * (r - luma) / 1.402 / 255.0);
    const Planes420 planes = ToPlanes420(MakeImage(2, 2, static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
                                                   static_cast<std::uint8_t>(b)));
    if (!cb.nearHalf) {
      ASSERT_EQ(planes.cb[0], cb.rounded) << r << "," << g << "," << b;
    }
    if (!cr.nearHalf) {
      ASSERT_EQ(planes.cr[0], cr.rounded) << r << "," << g << "," << b;
    }
  }
}

// A one-pixel red line on black. MPEG-2 puts chroma on the even luma columns:
// a line there lands on one chroma column, a line on an odd column splits
// evenly between the two chroma columns beside it. Vertically chroma lies
// midway between rows 2j and 2j+1: lines on rows 8 and 9 give mirror images.
TEST(ToPlanes420, ChromaSitsOnEvenColumnsAndBetweenRowPairs) {
  const int width = 32;
  const int height = 24;
  auto crOfLine = [&](bool vertical, int at) {
    RgbImage picture = MakeImage(width, height, 0, 0, 0);
    for (int i = 0; i < (vertical ? height : width); ++i) {
      const int x = vertical ? at : i;
      const int y = vertical ? i : at;
      picture.pixels[(static_cast<std::size_t>(y) * width + x) * 3] = 255;
    }
    const Planes420 planes = ToPlanes420(picture);
    std::vector<int> profile;  // across chroma columns (vertical line) or rows (horizontal line)
    for (int i = 0; i < (vertical ? width : height) / 2; ++i) {
      profile.push_back(vertical ? planes.cr[static_cast<std::size_t>(5 * width / 2 + i)]
                                 : planes.cr[static_cast<std::size_t>(i * width / 2 + 5)]);
    }
    return profile;
  };
  auto expect = [](std::size_t length, std::initializer_list<std::pair<std::size_t, int>> values) {
    std::vector<int> profile(length, 128);
    for (const auto& [at, value] : values) profile[at] = value;
    return profile;
  };
  // Red's full Cr swing is +112: half of it on column 10's chroma, a quarter
  // each on both sides of column 11.
  EXPECT_EQ(crOfLine(true, 10), expect(16, {{5, 184}}));
  EXPECT_EQ(crOfLine(true, 11), expect(16, {{5, 156}, {6, 156}}));
  // Vertically the filter (-2 -11 30 111 111 30 -11 -2) / 256 is symmetric
  // about the midpoint of rows 2j and 2j+1: lines on rows 8 and 9 give the
  // same profile mirrored about chroma row 4.
  EXPECT_EQ(crOfLine(false, 8), expect(12, {{2, 127}, {3, 141}, {4, 177}, {5, 123}}));
  EXPECT_EQ(crOfLine(false, 9), expect(12, {{3, 123}, {4, 177}, {5, 141}, {6, 127}}));
}

// FFmpeg's own RGB to yuv420p conversion of a photo as an independent check:
// luma nearly equal (FFmpeg rounds less exactly), chroma close (FFmpeg filters
// and sites chroma its own way).
TEST(ToPlanes420, AgreesWithFfmpegOnAPhoto) {
  if (!HaveProgram("convert") || !HaveProgram("ffmpeg")) GTEST_SKIP() << "ImageMagick or FFmpeg is not installed";
  TempDirectory folder;
  ASSERT_TRUE(Convert({"rose:", "-resize", "720x576!", "-depth", "8", folder / "photo.ppm"}));
  ASSERT_EQ(RunShell("ffmpeg -v error -y -i " + (folder / "photo.ppm") +
                     " -pix_fmt yuv420p -f rawvideo " + (folder / "photo.yuv")),
            0);
  const auto photo = DecodeWithImageMagick(folder / "photo.ppm");
  ASSERT_TRUE(photo.has_value());
  const Planes420 ours = ToPlanes420(*photo);
  const ByteBuffer theirs = ReadFileBytes(folder / "photo.yuv");
  ASSERT_EQ(static_cast<std::size_t>(theirs.size()), ours.y.size() + ours.cb.size() + ours.cr.size());
  auto psnr = [&](const std::vector<std::uint8_t>& plane, std::size_t offset) {
    double sum = 0;
    for (std::size_t i = 0; i < plane.size(); ++i) {
      const double d = double(plane[i]) - theirs[static_cast<std::int32_t>(offset + i)];
      sum += d * d;
    }
    return sum == 0 ? INFINITY : 10 * std::log10(255.0 * 255.0 * double(plane.size()) / sum);
  };
  EXPECT_GE(psnr(ours.y, 0), 50.0);
  EXPECT_GE(psnr(ours.cb, ours.y.size()), 40.0);
  EXPECT_GE(psnr(ours.cr, ours.y.size() + ours.cb.size()), 40.0);
  RecordProperty("y", std::to_string(psnr(ours.y, 0)));
  RecordProperty("cb", std::to_string(psnr(ours.cb, ours.y.size())));
}

}  // namespace
}  // namespace bootlume::picture::test
