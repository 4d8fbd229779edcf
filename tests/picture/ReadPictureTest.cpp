// Every format and variant a user may pick, made by ImageMagick (or libjpeg/
// libpng where ImageMagick cannot write it), read by ReadPicture and compared
// with ImageMagick's own decoding of the same file.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "tests/picture/PictureFixtures.h"
#include "tests/support/TestSupport.h"
#include "tools/picture/Compositing.h"
#include "tools/picture/PictureInput.h"

namespace bootlume::picture::test {
namespace {

using bootlume::test::HaveProgram;
using bootlume::test::ReadFileBytes;
using bootlume::test::TempDirectory;
using bootlume::test::WriteFileBytes;

// The test picture: ImageMagick's built-in photo at odd sides (row padding,
// partial JPEG blocks), optionally with an alpha ramp from left to right.
const std::vector<std::string> kPhoto = {"rose:", "-resize", "97x61!"};
const std::vector<std::string> kAlphaRamp = {"-alpha", "set", "-channel", "A", "-fx", "i/w", "+channel"};

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

std::uint32_t LittleEndian(ByteView bytes, std::size_t at, int length) {
  std::uint32_t value = 0;
  for (int i = length - 1; i >= 0; --i) value = value << 8 | bytes[at + static_cast<std::size_t>(i)];
  return value;
}

using Check = std::function<bool(ByteView)>;

Check PngIs(int bitDepth, int colourType, bool interlaced = false, bool transparencyChunk = false) {
  return [=](ByteView file) {
    if (file.size() < 33) return false;
    const std::string_view text(reinterpret_cast<const char*>(file.data()), file.size());
    return file[24] == bitDepth && file[25] == colourType && file[28] == (interlaced ? 1 : 0) &&
           (text.find("tRNS") != std::string_view::npos) == transparencyChunk;
  };
}

Check BmpIs(int bitsPerPixel, int compression, int headerSize) {
  return [=](ByteView file) {
    return file.size() >= 54 && LittleEndian(file, 14, 4) == static_cast<std::uint32_t>(headerSize) &&
           LittleEndian(file, 28, 2) == static_cast<std::uint32_t>(bitsPerPixel) &&
           LittleEndian(file, 30, 4) == static_cast<std::uint32_t>(compression) &&
           static_cast<std::int32_t>(LittleEndian(file, 22, 4)) > 0;
  };
}

Check JpegIs(int frameMarker, int components, int adobeTransform = -1) {
  return [=](ByteView file) {
    const auto layout = ReadJpegLayout(file);
    return layout && layout->frameMarker == frameMarker && layout->components == components &&
           layout->adobeTransform == adobeTransform;
  };
}

// GIF: whether the first frame is interlaced and has a transparent index.
Check GifIs(bool interlaced, bool transparent) {
  return [=](ByteView file) {
    if (file.size() < 13) return false;
    std::size_t at = 13;
    if (file[10] & 0x80) at += 3u << ((file[10] & 7) + 1);
    bool sawTransparency = false;
    while (at < file.size()) {
      if (file[at] == 0x21 && at + 2 < file.size()) {
        if (file[at + 1] == 0xF9 && at + 3 < file.size()) sawTransparency = (file[at + 3] & 1) != 0;
        at += 2;
        while (at < file.size() && file[at] != 0) at += 1u + file[at];
        ++at;
      } else if (file[at] == 0x2C && at + 9 < file.size()) {
        return ((file[at + 9] & 0x40) != 0) == interlaced && sawTransparency == transparent;
      } else {
        return false;
      }
    }
    return false;
  };
}

struct FormatCase {
  std::string name;
  std::vector<std::string> convert;  // ImageMagick arguments; the output file is appended
  std::string output;                // e.g. "PNG8:picture.png"
  Check isVariant;
  double minimumPsnr;                // against ImageMagick's decoding
};

std::ostream& operator<<(std::ostream& out, const FormatCase& c) { return out << c.name; }

// Lossless formats must match ImageMagick up to a rounding step here and
// there (16-bit scaling, alpha blending at 16 bits there); JPEG decoders may
// differ in their inverse DCT and upsampling.
constexpr double kLossless = 50.0;
constexpr double kJpeg = 40.0;

const std::vector<std::string> kGrey = {"-colorspace", "gray"};

std::vector<FormatCase> FormatCases() {
  auto png = [](int depth, int type) {
    return std::vector<std::string>{"-define", "png:bit-depth=" + std::to_string(depth), "-define",
                                    "png:color-type=" + std::to_string(type)};
  };
  auto depth = [](int bits) { return std::vector<std::string>{"-depth", std::to_string(bits)}; };
  const std::vector<std::string> transparentRed = {"-fuzz", "25%", "-transparent", "rgb(200,40,40)"};
  return {
      {"JpegBaseline420", Join({kPhoto, {"-quality", "92", "-sampling-factor", "2x2"}}), "p.jpg", JpegIs(0xC0, 3), kJpeg},
      {"JpegBaseline444", Join({kPhoto, {"-quality", "92", "-sampling-factor", "1x1"}}), "p.jpg", JpegIs(0xC0, 3), kJpeg},
      {"JpegBaseline422", Join({kPhoto, {"-quality", "92", "-sampling-factor", "2x1"}}), "p.jpg", JpegIs(0xC0, 3), kJpeg},
      {"JpegProgressive", Join({kPhoto, {"-quality", "92", "-interlace", "JPEG"}}), "p.jpg", JpegIs(0xC2, 3), kJpeg},
      {"JpegGrey", Join({kPhoto, kGrey, {"-quality", "92"}}), "p.jpg", JpegIs(0xC0, 1), kJpeg},
      {"JpegGreyProgressive", Join({kPhoto, kGrey, {"-interlace", "JPEG"}}), "p.jpg", JpegIs(0xC2, 1), kJpeg},
      {"JpegYcck", Join({kPhoto, {"-colorspace", "CMYK", "-quality", "95"}}), "p.jpg", JpegIs(0xC0, 4, 2), kJpeg},
      {"JpegYcckProgressive", Join({kPhoto, {"-colorspace", "CMYK", "-interlace", "JPEG"}}), "p.jpg",
       JpegIs(0xC2, 4, 2), kJpeg},
      {"PngGrey1", Join({kPhoto, kGrey, depth(1), png(1, 0)}), "p.png", PngIs(1, 0), kLossless},
      {"PngGrey2", Join({kPhoto, kGrey, depth(2), png(2, 0)}), "p.png", PngIs(2, 0), kLossless},
      {"PngGrey4", Join({kPhoto, kGrey, depth(4), png(4, 0)}), "p.png", PngIs(4, 0), kLossless},
      {"PngGrey8", Join({kPhoto, kGrey, png(8, 0)}), "p.png", PngIs(8, 0), kLossless},
      {"PngGrey16", Join({kPhoto, kGrey, depth(16), png(16, 0)}), "p.png", PngIs(16, 0), kLossless},
      {"PngGrey8Transparent", Join({kPhoto, kGrey, {"-fuzz", "10%", "-transparent", "gray(40%)"}, png(8, 0)}), "p.png",
       PngIs(8, 0, false, true), kLossless},
      {"PngGreyAlpha8", Join({kPhoto, kGrey, kAlphaRamp, png(8, 4)}), "p.png", PngIs(8, 4), kLossless},
      {"PngGreyAlpha16", Join({kPhoto, kGrey, kAlphaRamp, depth(16), png(16, 4)}), "p.png", PngIs(16, 4), kLossless},
      {"PngRgb8", Join({kPhoto, png(8, 2)}), "p.png", PngIs(8, 2), kLossless},
      {"PngRgb16", Join({kPhoto, depth(16), png(16, 2)}), "p.png", PngIs(16, 2), kLossless},
      {"PngRgb8Transparent", Join({kPhoto, transparentRed}), "PNG24:p.png", PngIs(8, 2, false, true), kLossless},
      {"PngRgba8", Join({kPhoto, kAlphaRamp}), "PNG32:p.png", PngIs(8, 6), kLossless},
      {"PngRgba16", Join({kPhoto, kAlphaRamp, depth(16)}), "PNG64:p.png", PngIs(16, 6), kLossless},
      {"PngPalette8", Join({kPhoto, {"+dither", "-colors", "200"}}), "PNG8:p.png", PngIs(8, 3), kLossless},
      {"PngPalette4", Join({kPhoto, {"+dither", "-colors", "16"}, png(4, 3)}), "p.png", PngIs(4, 3), kLossless},
      {"PngPalette2", Join({kPhoto, {"+dither", "-colors", "3"}, png(2, 3)}), "p.png", PngIs(2, 3), kLossless},
      {"PngPaletteTransparent", Join({kPhoto, transparentRed}), "PNG8:p.png", PngIs(8, 3, false, true), kLossless},
      {"PngInterlacedRgb8", Join({kPhoto, {"-interlace", "PNG"}}), "PNG24:p.png", PngIs(8, 2, true), kLossless},
      {"PngInterlacedRgba16", Join({kPhoto, kAlphaRamp, depth(16), {"-interlace", "PNG"}}), "PNG64:p.png",
       PngIs(16, 6, true), kLossless},
      {"PngInterlacedPalette", Join({kPhoto, {"+dither", "-colors", "16", "-interlace", "PNG"}, png(4, 3)}), "p.png",
       PngIs(4, 3, true), kLossless},
      {"Bmp1", Join({kPhoto, {"-monochrome"}}), "BMP3:p.bmp", BmpIs(1, 0, 40), kLossless},
      {"Bmp4", Join({kPhoto, {"+dither", "-colors", "16", "-type", "palette", "-compress", "none"}}), "BMP3:p.bmp",
       BmpIs(4, 0, 40), kLossless},
      {"Bmp8", Join({kPhoto, {"+dither", "-colors", "200", "-type", "palette", "-compress", "none"}}), "BMP3:p.bmp",
       BmpIs(8, 0, 40), kLossless},
      {"Bmp8V5Header", Join({kPhoto, {"+dither", "-colors", "200", "-type", "palette", "-compress", "none"}}), "p.bmp",
       BmpIs(8, 0, 124), kLossless},
      {"Bmp24", Join({kPhoto, {"-type", "truecolor"}}), "BMP3:p.bmp", BmpIs(24, 0, 40), kLossless},
      {"Bmp24V5Header", Join({kPhoto, {"-type", "truecolor"}}), "p.bmp", BmpIs(24, 0, 124), kLossless},
      {"Bmp32Alpha", Join({kPhoto, kAlphaRamp, {"-type", "truecoloralpha"}}), "p.bmp", BmpIs(32, 3, 124), kLossless},
      {"Bmp32Plain", Join({kPhoto, {"-alpha", "opaque", "-define", "bmp3:alpha=true"}}), "BMP3:p.bmp", BmpIs(32, 0, 40),
       kLossless},
      {"Gif", Join({kPhoto, {"+dither"}}), "p.gif", GifIs(false, false), kLossless},
      {"GifInterlaced", Join({kPhoto, {"+dither", "-interlace", "GIF"}}), "p.gif", GifIs(true, false), kLossless},
      {"GifTransparent", Join({kPhoto, {"+dither"}, transparentRed}), "p.gif", GifIs(false, true), kLossless},
      {"GifAnimated", Join({kPhoto, {"+dither", "(", "+clone", "-negate", ")"}}), "p.gif", GifIs(false, false),
       kLossless},
  };
}

class ReadPictureFormat : public testing::TestWithParam<FormatCase> {};

TEST_P(ReadPictureFormat, MatchesImageMagicksDecoding) {
  if (!HaveProgram("convert")) GTEST_SKIP() << "ImageMagick is not installed";
  const FormatCase& c = GetParam();
  TempDirectory folder;
  const std::size_t colon = c.output.find(':');
  const std::string fileName = colon == std::string::npos ? c.output : c.output.substr(colon + 1);
  const std::string path = folder / fileName;
  std::vector<std::string> arguments = c.convert;
  arguments.push_back(colon == std::string::npos ? path : c.output.substr(0, colon + 1) + path);
  ASSERT_TRUE(Convert(arguments));
  ASSERT_TRUE(c.isVariant(ReadFileBytes(path))) << "ImageMagick did not write the variant this case is about";

  const ReadResult ours = ReadPicture(path);
  ASSERT_EQ(ours.status, ReadStatus::kOk) << ours.detail;
  const auto oracle = DecodeWithImageMagick(path);
  ASSERT_TRUE(oracle.has_value());
  ASSERT_EQ(ours.image.width, oracle->width);
  ASSERT_EQ(ours.image.height, oracle->height);
  const double psnr = Psnr(ours.image, *oracle);
  RecordProperty("psnr", std::to_string(psnr));
  EXPECT_GE(psnr, c.minimumPsnr);
}

INSTANTIATE_TEST_SUITE_P(Formats, ReadPictureFormat, testing::ValuesIn(FormatCases()),
                         [](const testing::TestParamInfo<FormatCase>& info) { return info.param.name; });

// CMYK as libjpeg writes it: Adobe's inverted convention with its marker, and
// plain CMYK without one (ImageMagick itself writes only YCCK). The ink is
// the photo's complement with a black ramp from left to right, so the picture
// must come out as the photo darkened by the ramp: R' = R (255 - K) / 255.
class ReadCmykJpeg : public testing::TestWithParam<bool> {};

TEST_P(ReadCmykJpeg, ShowsTheInkItHolds) {
  if (!HaveProgram("convert")) GTEST_SKIP() << "ImageMagick is not installed";
  const bool adobe = GetParam();
  TempDirectory folder;
  ASSERT_TRUE(Convert(Join({kPhoto, {folder / "photo.ppm"}})));
  const auto photo = DecodeWithImageMagick(folder / "photo.ppm");
  ASSERT_TRUE(photo.has_value());
  ASSERT_TRUE(WriteCmykJpeg(folder / "cmyk.jpg", *photo, adobe));
  ASSERT_TRUE(JpegIs(0xC0, 4, adobe ? 0 : -1)(ReadFileBytes(folder / "cmyk.jpg")));

  const ReadResult ours = ReadPicture(folder / "cmyk.jpg");
  ASSERT_EQ(ours.status, ReadStatus::kOk) << ours.detail;
  RgbImage expected = *photo;
  for (int y = 0; y < expected.height; ++y) {
    for (int x = 0; x < expected.width; ++x) {
      const int black = x * 255 / (expected.width - 1);
      for (int c = 0; c < 3; ++c) {
        std::uint8_t& sample = expected.pixels[(static_cast<std::size_t>(y) * expected.width + x) * 3 + c];
        sample = static_cast<std::uint8_t>((sample * (255 - black) + 127) / 255);
      }
    }
  }
  EXPECT_GE(Psnr(ours.image, expected), 35.0);
  // ImageMagick agrees on Adobe's files; it takes plain CMYK as inverted too,
  // unlike libjpeg's convention (and browsers'), so it is no oracle there.
  if (adobe) {
    const auto oracle = DecodeWithImageMagick(folder / "cmyk.jpg");
    ASSERT_TRUE(oracle.has_value());
    EXPECT_GE(Psnr(ours.image, *oracle), kJpeg);
  }
}

INSTANTIATE_TEST_SUITE_P(Cmyk, ReadCmykJpeg, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "AdobeInverted" : "Plain"; });

// Palette PNGs at every bit depth with tRNS entries, written by libpng (which
// ImageMagick cannot be made to write at 1 bit).
class ReadPalettePng : public testing::TestWithParam<int> {};

TEST_P(ReadPalettePng, MatchesImageMagicksDecoding) {
  if (!HaveProgram("convert")) GTEST_SKIP() << "ImageMagick is not installed";
  const int entries = GetParam();
  const int width = 37;
  const int height = 23;
  std::vector<std::uint8_t> palette;
  for (int i = 0; i < entries; ++i) {
    const auto v = static_cast<std::uint8_t>(i * 255 / (entries - 1));
    // Entry 0 is fully transparent, entry 1 half transparent.
    palette.insert(palette.end(), {v, static_cast<std::uint8_t>(255 - v), static_cast<std::uint8_t>(v / 2 + 60),
                                   static_cast<std::uint8_t>(i == 0 ? 0 : i == 1 ? 128 : 255)});
  }
  std::vector<std::uint8_t> indices;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) indices.push_back(static_cast<std::uint8_t>((x + 3 * y) % entries));
  }
  TempDirectory folder;
  ASSERT_TRUE(WritePalettePng(folder / "p.png", width, height, indices, palette));
  const int bits = entries <= 2 ? 1 : entries <= 4 ? 2 : entries <= 16 ? 4 : 8;
  ASSERT_TRUE(PngIs(bits, 3, false, true)(ReadFileBytes(folder / "p.png")));

  const ReadResult ours = ReadPicture(folder / "p.png");
  ASSERT_EQ(ours.status, ReadStatus::kOk) << ours.detail;
  const auto oracle = DecodeWithImageMagick(folder / "p.png");
  ASSERT_TRUE(oracle.has_value());
  EXPECT_GE(Psnr(ours.image, *oracle), kLossless);
  // Fully transparent pixels are black.
  const std::uint8_t* transparent = PixelAt(ours.image, 0, 0);
  EXPECT_EQ(transparent[0] + transparent[1] + transparent[2], 0);
}

INSTANTIATE_TEST_SUITE_P(BitDepths, ReadPalettePng, testing::Values(2, 4, 16, 256));

// Top-down BMPs (negative height): made from ImageMagick's bottom-up file by
// reversing the rows and negating the height, so the picture stays the same.
class ReadTopDownBmp : public testing::TestWithParam<FormatCase> {};

TEST_P(ReadTopDownBmp, MatchesTheBottomUpPicture) {
  if (!HaveProgram("convert")) GTEST_SKIP() << "ImageMagick is not installed";
  const FormatCase& c = GetParam();
  TempDirectory folder;
  std::vector<std::string> arguments = c.convert;
  arguments.push_back(c.output.substr(0, c.output.find(':') + 1) + (folder / "up.bmp"));
  ASSERT_TRUE(Convert(arguments));
  const ByteBuffer bottomUp = ReadFileBytes(folder / "up.bmp");
  ASSERT_TRUE(c.isVariant(bottomUp));

  const std::uint32_t offset = LittleEndian(bottomUp, 10, 4);
  const auto width = static_cast<std::int32_t>(LittleEndian(bottomUp, 18, 4));
  const auto height = static_cast<std::int32_t>(LittleEndian(bottomUp, 22, 4));
  const std::uint32_t bits = LittleEndian(bottomUp, 28, 2);
  const std::size_t stride = (static_cast<std::size_t>(width) * bits + 31) / 32 * 4;
  std::vector<std::uint8_t> bytes(bottomUp.begin(), bottomUp.end());
  for (std::int32_t y = 0; y < height; ++y) {
    std::copy_n(bottomUp.begin() + offset + static_cast<std::size_t>(height - 1 - y) * stride, stride,
                bytes.begin() + offset + static_cast<std::size_t>(y) * stride);
  }
  const std::uint32_t negated = static_cast<std::uint32_t>(-height);
  for (int i = 0; i < 4; ++i) bytes[22 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(negated >> (8 * i));
  WriteFileBytes(folder / "down.bmp", ByteView(bytes.data(), bytes.size()));

  const ReadResult ours = ReadPicture(folder / "down.bmp");
  ASSERT_EQ(ours.status, ReadStatus::kOk) << ours.detail;
  const ReadResult upright = ReadPicture(folder / "up.bmp");
  ASSERT_EQ(upright.status, ReadStatus::kOk) << upright.detail;
  EXPECT_EQ(ours.image.pixels, upright.image.pixels);
  const auto oracle = DecodeWithImageMagick(folder / "up.bmp");
  ASSERT_TRUE(oracle.has_value());
  EXPECT_GE(Psnr(ours.image, *oracle), kLossless);
}

std::vector<FormatCase> BmpCases() {
  std::vector<FormatCase> cases;
  for (const FormatCase& c : FormatCases()) {
    if (c.name.starts_with("Bmp")) cases.push_back(c);
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Formats, ReadTopDownBmp, testing::ValuesIn(BmpCases()),
                         [](const testing::TestParamInfo<FormatCase>& info) { return info.param.name; });

// Every 16-bit sample value once (v = 256 y + x): each must become
// round(v * 255 / 65535). ImageMagick's own 8-bit output of such a file
// rounds some halves down, which is why the lossless cases above allow a
// step here and there.
TEST(ReadPicture, SixteenBitSamplesAreRoundedToEightBits) {
  if (!HaveProgram("convert")) GTEST_SKIP() << "ImageMagick is not installed";
  TempDirectory folder;
  ASSERT_TRUE(Convert({"-size", "256x256", "xc:", "-fx", "(j*256+i)/65535", "-colorspace", "gray", "-depth", "16",
                       "-define", "png:color-type=0", folder / "all.png"}));
  ASSERT_TRUE(PngIs(16, 0)(ReadFileBytes(folder / "all.png")));
  const ReadResult ours = ReadPicture(folder / "all.png");
  ASSERT_EQ(ours.status, ReadStatus::kOk) << ours.detail;
  int wrong = 0;
  for (int v = 0; v < 65536; ++v) {
    const std::uint8_t* pixel = PixelAt(ours.image, v % 256, v / 256);
    const int expected = (v * 255 + 65535 / 2) / 65535;
    if (pixel[0] != expected || pixel[1] != expected || pixel[2] != expected) ++wrong;
  }
  EXPECT_EQ(wrong, 0);
}

TEST(ReadPicture, FormatComesFromTheContentNotTheName) {
  if (!HaveProgram("convert")) GTEST_SKIP() << "ImageMagick is not installed";
  TempDirectory folder;
  ASSERT_TRUE(Convert(Join({kPhoto, {"PNG24:" + (folder / "photo.jpg")}})));
  const ReadResult ours = ReadPicture(folder / "photo.jpg");
  ASSERT_EQ(ours.status, ReadStatus::kOk) << ours.detail;
  const auto oracle = DecodeWithImageMagick(folder / "photo.jpg");
  ASSERT_TRUE(oracle.has_value());
  EXPECT_EQ(ours.image.pixels, oracle->pixels);
}

TEST(ReadPicture, TransparencyIsCompositedOverBlack) {
  if (!HaveProgram("convert")) GTEST_SKIP() << "ImageMagick is not installed";
  TempDirectory folder;
  // Left half fully transparent white, right half opaque orange; a middle
  // column at alpha 50% (128 of 255).
  ASSERT_TRUE(Convert({"-size", "10x4", "xc:rgba(255,255,255,0)", "+antialias", "-fill", "rgba(255,128,0,1)", "-draw",
                       "rectangle 6,0 9,3", "-fill", "rgba(200,100,50,0.50196)", "-draw", "rectangle 5,0 5,3",
                       "PNG32:" + (folder / "a.png")}));
  const ReadResult ours = ReadPicture(folder / "a.png");
  ASSERT_EQ(ours.status, ReadStatus::kOk) << ours.detail;
  const std::uint8_t* clear = PixelAt(ours.image, 1, 1);
  EXPECT_EQ(std::vector<int>(clear, clear + 3), (std::vector<int>{0, 0, 0}));
  const std::uint8_t* half = PixelAt(ours.image, 5, 1);
  EXPECT_EQ(std::vector<int>(half, half + 3), (std::vector<int>{100, 50, 25}));
  const std::uint8_t* opaque = PixelAt(ours.image, 8, 2);
  EXPECT_EQ(std::vector<int>(opaque, opaque + 3), (std::vector<int>{255, 128, 0}));
}

TEST(CompositeOverBlack, RoundsEveryColourAndAlpha) {
  std::vector<std::uint8_t> rgba;
  for (int c = 0; c < 256; ++c) {
    for (int a = 0; a < 256; ++a) rgba.insert(rgba.end(), {static_cast<std::uint8_t>(c), 0, 255, static_cast<std::uint8_t>(a)});
  }
  std::vector<std::uint8_t> rgb(rgba.size() / 4 * 3);
  CompositeOverBlack(rgba.data(), rgba.size() / 4, rgb.data());
  for (int c = 0; c < 256; ++c) {
    for (int a = 0; a < 256; ++a) {
      const std::size_t i = static_cast<std::size_t>(c * 256 + a);
      ASSERT_EQ(rgb[3 * i], static_cast<int>(std::lround(c * a / 255.0))) << c << " at alpha " << a;
      ASSERT_EQ(rgb[3 * i + 1], 0);
      ASSERT_EQ(rgb[3 * i + 2], a);
    }
  }
}

// A large JPEG with a target size comes back DCT-scaled to the smallest n/8
// that keeps both sides at least twice the target, and still looks like the
// picture.
TEST(ReadPicture, LargeJpegIsDecodedReducedButNotBelowTwiceTheTarget) {
  if (!HaveProgram("convert")) GTEST_SKIP() << "ImageMagick is not installed";
  TempDirectory folder;
  ASSERT_TRUE(Convert({"rose:", "-resize", "2400x1600!", "-quality", "90", folder / "big.jpg"}));
  const ReadResult full = ReadPicture(folder / "big.jpg");
  ASSERT_EQ(full.status, ReadStatus::kOk) << full.detail;
  EXPECT_EQ(full.image.width, 2400);
  EXPECT_EQ(full.image.height, 1600);

  const ReadResult reduced = ReadPicture(folder / "big.jpg", 720, 576);
  ASSERT_EQ(reduced.status, ReadStatus::kOk) << reduced.detail;
  // 1600 * n / 8 >= 2 * 576 needs n = 6: 1800 x 1200.
  EXPECT_EQ(reduced.image.width, 1800);
  EXPECT_EQ(reduced.image.height, 1200);
  const auto oracle = DecodeWithImageMagick(folder / "big.jpg", {"-resize", "1800x1200!"});
  ASSERT_TRUE(oracle.has_value());
  EXPECT_GE(Psnr(reduced.image, *oracle), 35.0);

  // Turned a quarter by EXIF, the target's sides swap: the stored height
  // 1600 must reach 2 * 720, which only the full size does (1600 x 2400
  // upright); for a 600 x 400 target it must reach 2 * 600: n = 6, 1200 x
  // 1800 upright.
  const ByteBuffer turned = WithExifOrientation(ReadFileBytes(folder / "big.jpg"), 6, true);
  WriteFileBytes(folder / "turned.jpg", turned);
  const ReadResult upright = ReadPicture(folder / "turned.jpg", 720, 576);
  ASSERT_EQ(upright.status, ReadStatus::kOk) << upright.detail;
  EXPECT_EQ(upright.image.width, 1600);
  EXPECT_EQ(upright.image.height, 2400);
  const ReadResult smaller = ReadPicture(folder / "turned.jpg", 600, 400);
  ASSERT_EQ(smaller.status, ReadStatus::kOk) << smaller.detail;
  EXPECT_EQ(smaller.image.width, 1200);
  EXPECT_EQ(smaller.image.height, 1800);
}

}  // namespace
}  // namespace bootlume::picture::test
