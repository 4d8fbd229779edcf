// The resampler on known patterns, and against ImageMagick's -resize.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/picture/PictureFixtures.h"
#include "tests/support/TestSupport.h"
#include "tools/picture/PictureInput.h"

namespace bootlume::picture::test {
namespace {

using bootlume::test::HaveProgram;
using bootlume::test::TempDirectory;

struct Sizes {
  int fromWidth, fromHeight, toWidth, toHeight;
};

std::ostream& operator<<(std::ostream& out, const Sizes& s) {
  return out << s.fromWidth << "x" << s.fromHeight << "->" << s.toWidth << "x" << s.toHeight;
}

const std::vector<Sizes> kSizes = {
    {1920, 1200, 720, 576},  // a wallpaper decoded at half scale, to PAL
    {1000, 700, 720, 480},   // mild reduction, to NTSC
    {360, 288, 720, 576},    // enlarged twice
    {97, 61, 720, 576},      // enlarged a lot, odd sides
    {720, 576, 97, 61},      // reduced a lot to odd sides
    {720, 480, 720, 576},    // one direction only
    {1, 1, 720, 576},
    {720, 576, 2, 2},
};

class ResizeSizes : public testing::TestWithParam<Sizes> {};

TEST_P(ResizeSizes, FlatPictureStaysExactlyFlat) {
  const Sizes s = GetParam();
  for (const auto& [r, g, b] : {std::tuple{0, 0, 0}, std::tuple{255, 255, 255}, std::tuple{17, 128, 254}}) {
    const RgbImage flat = MakeImage(s.fromWidth, s.fromHeight, static_cast<std::uint8_t>(r),
                                    static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(b));
    const RgbImage out = ResizeRgb(flat, s.toWidth, s.toHeight);
    ASSERT_EQ(out.width, s.toWidth);
    ASSERT_EQ(out.height, s.toHeight);
    EXPECT_EQ(out.pixels, MakeImage(s.toWidth, s.toHeight, static_cast<std::uint8_t>(r),
                                    static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(b)).pixels);
  }
}

// A ramp across (red) and down (green) stays monotonic in both directions,
// from end to end.
TEST_P(ResizeSizes, GradientStaysMonotonic) {
  const Sizes s = GetParam();
  RgbImage ramp = MakeImage(s.fromWidth, s.fromHeight, 0, 0, 77);
  for (int y = 0; y < s.fromHeight; ++y) {
    for (int x = 0; x < s.fromWidth; ++x) {
      std::uint8_t* pixel = &ramp.pixels[(static_cast<std::size_t>(y) * s.fromWidth + x) * 3];
      pixel[0] = static_cast<std::uint8_t>(x * 255 / std::max(1, s.fromWidth - 1));
      pixel[1] = static_cast<std::uint8_t>(y * 255 / std::max(1, s.fromHeight - 1));
    }
  }
  const RgbImage out = ResizeRgb(ramp, s.toWidth, s.toHeight);
  for (int y = 0; y < s.toHeight; ++y) {
    for (int x = 0; x < s.toWidth; ++x) {
      const std::uint8_t* pixel = PixelAt(out, x, y);
      if (x > 0) {
        ASSERT_GE(pixel[0], PixelAt(out, x - 1, y)[0]) << x << "," << y;
      }
      if (y > 0) {
        ASSERT_GE(pixel[1], PixelAt(out, x, y - 1)[1]) << x << "," << y;
      }
      ASSERT_EQ(pixel[2], 77);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, ResizeSizes, testing::ValuesIn(kSizes));

TEST(ResizeRgb, SameSizeGivesTheSamePixels) {
  RgbImage noise = MakeImage(720, 576, 0, 0, 0);
  std::uint32_t state = 1;
  for (auto& sample : noise.pixels) sample = static_cast<std::uint8_t>((state = state * 1664525u + 1013904223u) >> 24);
  EXPECT_EQ(ResizeRgb(noise, 720, 576).pixels, noise.pixels);
}

// A hard black/white edge rings only within the filter's reach; beyond it
// both sides are exactly as they were, and nothing wraps around.
TEST(ResizeRgb, EdgeRingsOnlyNearTheEdge) {
  for (const Sizes s : {Sizes{400, 8, 100, 8}, Sizes{100, 8, 400, 8}}) {
    RgbImage edge = MakeImage(s.fromWidth, s.fromHeight, 0, 0, 0);
    for (int y = 0; y < s.fromHeight; ++y) {
      for (int x = s.fromWidth / 2; x < s.fromWidth; ++x) {
        std::fill_n(&edge.pixels[(static_cast<std::size_t>(y) * s.fromWidth + x) * 3], 3, 255);
      }
    }
    const RgbImage out = ResizeRgb(edge, s.toWidth, s.toHeight);
    const int middle = s.toWidth / 2;
    const int reach = 8;  // three source pixels of Lanczos3 at 4x reduction is 3 output pixels; two for the cubic
    for (int x = 0; x < s.toWidth; ++x) {
      const int value = PixelAt(out, x, 3)[0];
      if (x < middle - reach) {
        EXPECT_EQ(value, 0) << s << " at " << x;
      }
      if (x >= middle + reach) {
        EXPECT_EQ(value, 255) << s << " at " << x;
      }
      if (x < middle - 1) {
        EXPECT_LT(value, 64) << s << " at " << x;
      }
      if (x > middle) {
        EXPECT_GT(value, 191) << s << " at " << x;
      }
    }
  }
}

// Never nearest-neighbour: a one-pixel checkerboard halved is mid-grey
// everywhere, where picking pixels would give black or white.
TEST(ResizeRgb, ReductionAveragesInsteadOfPicking) {
  RgbImage checkers = MakeImage(200, 100, 0, 0, 0);
  for (int y = 0; y < 100; ++y) {
    for (int x = (y & 1); x < 200; x += 2) std::fill_n(&checkers.pixels[(static_cast<std::size_t>(y) * 200 + x) * 3], 3, 255);
  }
  const RgbImage out = ResizeRgb(checkers, 100, 50);
  for (const std::uint8_t sample : out.pixels) {
    ASSERT_GE(sample, 120);
    ASSERT_LE(sample, 135);
  }
}

// Against ImageMagick on its sharp-edged logo: its default filter when
// reducing is the same Lanczos3; when enlarging it uses Mitchell, so there the
// comparison is with its Catmull-Rom and, more loosely, with its default.
TEST(ResizeRgb, CloseToImageMagicksResize) {
  if (!HaveProgram("convert")) GTEST_SKIP() << "ImageMagick is not installed";
  TempDirectory folder;
  ASSERT_TRUE(Convert({"logo:", "-resize", "1500x1100!", "-depth", "8", folder / "big.ppm"}));
  ASSERT_TRUE(Convert({"logo:", "-resize", "360x288!", "-depth", "8", folder / "small.ppm"}));
  const auto big = DecodeWithImageMagick(folder / "big.ppm");
  const auto small = DecodeWithImageMagick(folder / "small.ppm");
  ASSERT_TRUE(big && small);
  const struct {
    const RgbImage& source;
    std::string file;
    std::vector<std::string> filter;
    double minimum;
  } cases[] = {
      {*big, "big.ppm", {}, 50.0},
      {*small, "small.ppm", {"-filter", "Catrom"}, 50.0},
      {*small, "small.ppm", {}, 38.0},
  };
  for (const auto& c : cases) {
    std::vector<std::string> operators = c.filter;
    operators.insert(operators.end(), {"-resize", "720x576!"});
    const auto oracle = DecodeWithImageMagick(folder / c.file, operators);
    ASSERT_TRUE(oracle.has_value());
    const double psnr = Psnr(ResizeRgb(c.source, 720, 576), *oracle);
    RecordProperty(c.file + (c.filter.empty() ? "" : "-catrom"), std::to_string(psnr));
    EXPECT_GE(psnr, c.minimum) << c.file << (c.filter.empty() ? "" : " Catrom");
  }
}

}  // namespace
}  // namespace bootlume::picture::test
