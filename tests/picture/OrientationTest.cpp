// EXIF orientation: a phone photo must stand upright. ImageMagick's
// -auto-orient is the oracle for all eight orientations in both TIFF byte
// orders; damaged EXIF blocks fall back to upright.
#include <gtest/gtest.h>

#include "tests/picture/PictureFixtures.h"
#include "tests/support/TestSupport.h"
#include "tools/picture/Orientation.h"
#include "tools/picture/PictureInput.h"

namespace bootlume::picture::test {
namespace {

using bootlume::test::HaveProgram;
using bootlume::test::ReadFileBytes;
using bootlume::test::TempDirectory;
using bootlume::test::WriteFileBytes;

class ExifOrientationCase : public testing::TestWithParam<std::tuple<int, bool>> {};

TEST_P(ExifOrientationCase, PictureComesOutAsImageMagickTurnsIt) {
  if (!HaveProgram("convert")) GTEST_SKIP() << "ImageMagick is not installed";
  const auto [orientation, littleEndian] = GetParam();
  TempDirectory folder;
  ASSERT_TRUE(Convert({"rose:", "-resize", "97x61!", "-quality", "95", folder / "plain.jpg"}));
  const ByteBuffer tagged = WithExifOrientation(ReadFileBytes(folder / "plain.jpg"), orientation, littleEndian);
  ASSERT_TRUE(ReadJpegLayout(tagged)->hasExif);
  WriteFileBytes(folder / "tagged.jpg", tagged);

  const ReadResult ours = ReadPicture(folder / "tagged.jpg");
  ASSERT_EQ(ours.status, ReadStatus::kOk) << ours.detail;
  const auto oracle = DecodeWithImageMagick(folder / "tagged.jpg", {"-auto-orient"});
  ASSERT_TRUE(oracle.has_value());
  const bool quarterTurn = orientation >= 5;
  EXPECT_EQ(ours.image.width, quarterTurn ? 61 : 97);
  EXPECT_EQ(ours.image.height, quarterTurn ? 97 : 61);
  EXPECT_EQ(ours.image.pixels, oracle->pixels);
}

INSTANTIATE_TEST_SUITE_P(AllOrientations, ExifOrientationCase,
                         testing::Combine(testing::Range(1, 9), testing::Bool()), [](const auto& info) {
                           return "Orientation" + std::to_string(std::get<0>(info.param)) +
                                  (std::get<1>(info.param) ? "Intel" : "Motorola");
                         });

std::vector<std::uint8_t> Tiff(std::initializer_list<std::uint8_t> bytes) { return bytes; }

TEST(ExifOrientation, ReadsTheTagOrFallsBackToUpright) {
  const struct {
    const char* name;
    std::vector<std::uint8_t> block;
    int expected;
  } cases[] = {
      {"intel, 6", Tiff({'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3, 0, 1, 0, 0, 0, 6, 0, 0, 0}), 6},
      {"motorola, 8", Tiff({'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1, 0x01, 0x12, 0, 3, 0, 0, 0, 1, 0, 8, 0, 0}), 8},
      {"tag after another", Tiff({'I', 'I', 42, 0, 8, 0, 0, 0, 2, 0, 0x0F, 0x01, 2, 0, 1, 0, 0, 0, 0, 0, 0, 0,
                                  0x12, 0x01, 3, 0, 1, 0, 0, 0, 3, 0, 0, 0}), 3},
      {"empty", Tiff({}), 1},
      {"header only", Tiff({'I', 'I', 42, 0}), 1},
      {"unknown byte order", Tiff({'X', 'X', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3, 0, 1, 0, 0, 0, 6, 0, 0, 0}), 1},
      {"wrong magic", Tiff({'I', 'I', 43, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3, 0, 1, 0, 0, 0, 6, 0, 0, 0}), 1},
      {"directory past the end", Tiff({'I', 'I', 42, 0, 0xF0, 0xFF, 0xFF, 0xFF, 1, 0}), 1},
      {"more entries than bytes", Tiff({'I', 'I', 42, 0, 8, 0, 0, 0, 0xFF, 0xFF, 0x0F, 0x01, 2, 0}), 1},
      {"entry cut short", Tiff({'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3, 0, 1, 0}), 1},
      {"value of LONG type", Tiff({'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 4, 0, 1, 0, 0, 0, 6, 0, 0, 0}), 1},
      {"value 0", Tiff({'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3, 0, 1, 0, 0, 0, 0, 0, 0, 0}), 1},
      {"value 9", Tiff({'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3, 0, 1, 0, 0, 0, 9, 0, 0, 0}), 1},
      {"count 0", Tiff({'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3, 0, 0, 0, 0, 0, 6, 0, 0, 0}), 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExifOrientation(ByteView(c.block.data(), c.block.size())), c.expected) << c.name;
  }
}

}  // namespace
}  // namespace bootlume::picture::test
