// Pictures that cannot be read: missing, empty, not a picture, cut off,
// damaged, or claiming absurd sizes. Each must give kCannotOpen (never a
// crash, never a partly grey picture); a file that lacks only its trailer
// still holds its whole picture and is read.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "tests/picture/PictureFixtures.h"
#include "tests/support/TestSupport.h"
#include "tools/picture/PictureInput.h"

namespace bootlume::picture::test {
namespace {

using bootlume::test::HaveProgram;
using bootlume::test::ReadFileBytes;
using bootlume::test::TempDirectory;
using bootlume::test::WriteFileBytes;

struct Fixture {
  std::string name;
  std::vector<std::string> convert;  // ImageMagick arguments before the output
  std::string output;
};

std::ostream& operator<<(std::ostream& out, const Fixture& f) { return out << f.name; }

const std::vector<Fixture> kFixtures = {
    {"JpegBaseline", {"rose:", "-resize", "97x61!", "-quality", "90"}, "p.jpg"},
    {"JpegProgressive", {"rose:", "-resize", "97x61!", "-interlace", "JPEG"}, "p.jpg"},
    {"Png", {"rose:", "-resize", "97x61!"}, "PNG24:p.png"},
    {"PngInterlaced", {"rose:", "-resize", "97x61!", "-interlace", "PNG"}, "PNG24:p.png"},
    {"Bmp", {"rose:", "-resize", "97x61!"}, "BMP3:p.bmp"},
    {"Gif", {"rose:", "-resize", "97x61!"}, "p.gif"},
};

std::vector<std::uint8_t> MakeFixture(const TempDirectory& folder, const Fixture& fixture) {
  std::vector<std::string> arguments = fixture.convert;
  const std::size_t colon = fixture.output.find(':');
  const std::string path = folder / (colon == std::string::npos ? fixture.output : fixture.output.substr(colon + 1));
  arguments.push_back(colon == std::string::npos ? path : fixture.output.substr(0, colon + 1) + path);
  if (!Convert(arguments)) return {};
  const ByteBuffer bytes = ReadFileBytes(path);
  return {bytes.begin(), bytes.end()};
}

ReadResult ReadBytes(const TempDirectory& folder, const std::vector<std::uint8_t>& bytes, int targetWidth = 0,
                     int targetHeight = 0) {
  const std::string path = folder / "damaged";
  WriteFileBytes(path, ByteView(bytes.data(), bytes.size()));
  return ReadPicture(path, targetWidth, targetHeight);
}

std::vector<std::uint8_t> Prefix(const std::vector<std::uint8_t>& bytes, std::size_t length) {
  return {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min(length, bytes.size()))};
}

TEST(ReadPictureDamage, MissingEmptyAndFolderPathsCannotBeOpened) {
  TempDirectory folder;
  WriteFileBytes(folder / "empty.png", {});
  for (const std::string& path : {folder / "missing.jpg", folder / "empty.png", folder.Path().string()}) {
    const ReadResult result = ReadPicture(path);
    EXPECT_EQ(result.status, ReadStatus::kCannotOpen) << path;
    EXPECT_FALSE(result.detail.empty());
  }
}

TEST(ReadPictureDamage, FilesThatAreNoPicturesCannotBeOpened) {
  TempDirectory folder;
  std::vector<std::uint8_t> noise(5000);
  std::mt19937 random(3);
  for (auto& byte : noise) byte = static_cast<std::uint8_t>(random());
  const std::string text = "This is a text file with a .jpg name.\n";
  const std::vector<std::vector<std::uint8_t>> files = {
      noise, {text.begin(), text.end()}, {0xFF, 0xD8}, {0xFF, 0xD8, 0xFF}, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A},
      {'B', 'M'}, {'G', 'I', 'F', '8', '9', 'a'}};
  for (const auto& file : files) {
    const ReadResult result = ReadBytes(folder, file);
    EXPECT_EQ(result.status, ReadStatus::kCannotOpen) << file.size() << " bytes";
  }
}

class TruncatedPicture : public testing::TestWithParam<Fixture> {};

TEST_P(TruncatedPicture, CannotBeOpened) {
  if (!HaveProgram("convert")) GTEST_SKIP() << "ImageMagick is not installed";
  TempDirectory folder;
  const std::vector<std::uint8_t> whole = MakeFixture(folder, GetParam());
  ASSERT_FALSE(whole.empty());
  ASSERT_EQ(ReadBytes(folder, whole).status, ReadStatus::kOk);
  for (const double share : {0.02, 0.1, 0.5, 0.9}) {
    const ReadResult result = ReadBytes(folder, Prefix(whole, static_cast<std::size_t>(share * whole.size())));
    EXPECT_EQ(result.status, ReadStatus::kCannotOpen) << "cut at " << share;
    EXPECT_TRUE(result.image.pixels.empty());
  }
}

// Random damage and every cut: a clean answer each time (ASan and UBSan
// builds make this a check for memory errors too).
TEST_P(TruncatedPicture, RandomDamageNeverCrashes) {
  if (!HaveProgram("convert")) GTEST_SKIP() << "ImageMagick is not installed";
  TempDirectory folder;
  const std::vector<std::uint8_t> whole = MakeFixture(folder, GetParam());
  ASSERT_FALSE(whole.empty());
  std::mt19937 random(11);
  auto check = [&](const std::vector<std::uint8_t>& bytes) {
    const ReadResult result = ReadBytes(folder, bytes, 48, 32);
    ASSERT_TRUE(result.status == ReadStatus::kOk || result.status == ReadStatus::kCannotOpen);
    if (result.status == ReadStatus::kOk) {
      ASSERT_GT(result.image.width, 0);
      ASSERT_EQ(result.image.pixels.size(), std::size_t(result.image.width) * result.image.height * 3);
    }
  };
  for (int round = 0; round < 300; ++round) {
    std::vector<std::uint8_t> bytes = whole;
    const int changes = 1 + static_cast<int>(random() % 8);
    for (int i = 0; i < changes; ++i) bytes[2 + random() % (bytes.size() - 2)] = static_cast<std::uint8_t>(random());
    check(bytes);
  }
  for (std::size_t length = 1; length < whole.size(); length += 37) check(Prefix(whole, length));
}

INSTANTIATE_TEST_SUITE_P(Formats, TruncatedPicture, testing::ValuesIn(kFixtures),
                         [](const testing::TestParamInfo<Fixture>& info) { return info.param.name; });

// A JPEG or PNG that lacks only its trailer (EOI, IEND) holds all its
// picture: it is read, and the same as the whole file.
class MissingTrailer : public testing::TestWithParam<std::pair<Fixture, std::size_t>> {};

TEST_P(MissingTrailer, IsReadWhole) {
  if (!HaveProgram("convert")) GTEST_SKIP() << "ImageMagick is not installed";
  TempDirectory folder;
  const auto& [fixture, trailer] = GetParam();
  const std::vector<std::uint8_t> whole = MakeFixture(folder, fixture);
  ASSERT_GT(whole.size(), trailer);
  const ReadResult complete = ReadBytes(folder, whole);
  ASSERT_EQ(complete.status, ReadStatus::kOk) << complete.detail;
  const ReadResult cut = ReadBytes(folder, Prefix(whole, whole.size() - trailer));
  ASSERT_EQ(cut.status, ReadStatus::kOk) << cut.detail;
  EXPECT_EQ(cut.image.pixels, complete.image.pixels);
}

INSTANTIATE_TEST_SUITE_P(Formats, MissingTrailer,
                         testing::Values(std::make_pair(kFixtures[0], 2), std::make_pair(kFixtures[1], 2),
                                         std::make_pair(kFixtures[2], 12), std::make_pair(kFixtures[3], 12)),
                         [](const auto& info) { return info.param.first.name; });

// A progressive JPEG cut exactly before a scan is a complete-looking but
// blurred or discoloured picture: refused, since refinement scans are missing.
TEST(ReadPictureDamage, ProgressiveJpegCutBetweenScansCannotBeOpened) {
  if (!HaveProgram("convert")) GTEST_SKIP() << "ImageMagick is not installed";
  TempDirectory folder;
  const std::vector<std::uint8_t> whole = MakeFixture(folder, kFixtures[1]);
  std::vector<std::size_t> scans;
  for (std::size_t i = 0; i + 1 < whole.size(); ++i) {
    if (whole[i] == 0xFF && whole[i + 1] == 0xDA) scans.push_back(i);
  }
  ASSERT_GE(scans.size(), 3u);
  for (std::size_t s = 1; s < scans.size(); ++s) {
    const ReadResult result = ReadBytes(folder, Prefix(whole, scans[s]));
    EXPECT_EQ(result.status, ReadStatus::kCannotOpen) << "cut before scan " << s;
  }
}

// Run-length-encoded BMPs (ImageMagick's default for 8 bits) are beyond
// stb_image: refused with the reason, not shown as garbage.
TEST(ReadPictureDamage, RunLengthEncodedBmpIsRefusedWithItsReason) {
  if (!HaveProgram("convert")) GTEST_SKIP() << "ImageMagick is not installed";
  TempDirectory folder;
  const std::vector<std::uint8_t> rle =
      MakeFixture(folder, {"Rle8", {"rose:", "+dither", "-colors", "200", "-type", "palette"}, "BMP3:p.bmp"});
  ASSERT_GT(rle.size(), 34u);
  ASSERT_EQ(rle[30], 1) << "not RLE8";
  const ReadResult result = ReadBytes(folder, rle);
  EXPECT_EQ(result.status, ReadStatus::kCannotOpen);
  EXPECT_NE(result.detail.find("RLE"), std::string::npos) << result.detail;
}

// A compression field BMP gives no plain rows for (JPEG, PNG, or any value
// no BMP defines) is refused: stb would take values from 2^31 up for
// uncompressed rows and read zeros past the end of the file.
TEST(ReadPictureDamage, BmpWithACompressionItCannotReadIsRefused) {
  if (!HaveProgram("convert")) GTEST_SKIP() << "ImageMagick is not installed";
  TempDirectory folder;
  const std::vector<std::uint8_t> plain = MakeFixture(folder, {"Bmp24", {"rose:", "-type", "truecolor"}, "BMP3:p.bmp"});
  ASSERT_GT(plain.size(), 34u);
  ASSERT_EQ(plain[30], 0) << "not uncompressed";
  for (const std::uint32_t compression : {4u, 5u, 7u, 0x80000000u, 0xFF000000u}) {
    std::vector<std::uint8_t> bytes = plain;
    for (int i = 0; i < 4; ++i)
      bytes[30 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(compression >> (8 * i));
    const ReadResult result = ReadBytes(folder, bytes);
    EXPECT_EQ(result.status, ReadStatus::kCannotOpen) << compression;
    EXPECT_NE(result.detail.find("compression"), std::string::npos) << compression << ": " << result.detail;
  }
}

// Decompression bombs: files whose headers claim huge pictures are refused
// before the pictures' memory is taken.
void PutBigEndian(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value, int length) {
  for (int i = 0; i < length; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * (length - 1 - i)));
}

void PutLittleEndian(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value, int length) {
  for (int i = 0; i < length; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::vector<std::uint8_t> JpegClaiming(std::vector<std::uint8_t> jpeg, std::uint32_t width, std::uint32_t height) {
  for (std::size_t i = 2; i + 9 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) {
      PutBigEndian(jpeg, i + 5, height, 2);
      PutBigEndian(jpeg, i + 7, width, 2);
      break;
    }
  }
  return jpeg;
}

std::vector<std::uint8_t> PngClaiming(std::vector<std::uint8_t> png, std::uint32_t width, std::uint32_t height) {
  PutBigEndian(png, 16, width, 4);
  PutBigEndian(png, 20, height, 4);
  PutBigEndian(png, 29, static_cast<std::uint32_t>(crc32(0, png.data() + 12, 17)), 4);
  return png;
}

TEST(ReadPictureDamage, HugeClaimedSizesAreRefusedFromTheHeader) {
  if (!HaveProgram("convert")) GTEST_SKIP() << "ImageMagick is not installed";
  TempDirectory folder;
  const auto jpeg = MakeFixture(folder, kFixtures[0]);
  const auto progressive = MakeFixture(folder, kFixtures[1]);
  const auto png = MakeFixture(folder, kFixtures[2]);
  auto bmp = MakeFixture(folder, kFixtures[4]);
  auto gif = MakeFixture(folder, kFixtures[5]);
  PutLittleEndian(bmp, 18, 60000, 4);
  PutLittleEndian(bmp, 22, 60000, 4);
  std::vector<std::uint8_t> bmpMidsize = MakeFixture(folder, kFixtures[4]);
  PutLittleEndian(bmpMidsize, 18, 5000, 4);
  PutLittleEndian(bmpMidsize, 22, 5000, 4);
  PutLittleEndian(gif, 6, 65535, 2);
  PutLittleEndian(gif, 8, 65535, 2);

  // Big enough a file for its blocks, but its coefficients would take
  // 20000 x 20000 x 3 x 2 bytes: beyond libjpeg's working memory cap.
  const auto progressive444 =
      MakeFixture(folder, {"", {"rose:", "-interlace", "JPEG", "-sampling-factor", "1x1"}, "p444.jpg"});
  std::vector<std::uint8_t> paddedBomb = JpegClaiming(progressive444, 20000, 20000);
  paddedBomb.resize(paddedBomb.size() + 4'000'000, 0);

  const struct {
    const char* name;
    std::vector<std::uint8_t> bytes;
    const char* reason;
  } cases[] = {
      {"padded progressive jpeg 20000x20000", paddedBomb, "too large"},
      {"jpeg 65000x65000", JpegClaiming(jpeg, 65000, 65000), "too short"},
      {"progressive jpeg 30000x30000", JpegClaiming(progressive, 30000, 30000), "too short"},
      {"png 60000x60000", PngClaiming(png, 60000, 60000), "too large"},
      {"png 10000x10000", PngClaiming(png, 10000, 10000), "too short"},
      {"bmp 60000x60000", bmp, "too large"},
      {"bmp 5000x5000", bmpMidsize, "ends before"},
      {"gif 65535x65535", gif, "too large"},
  };
  for (const auto& c : cases) {
    for (const int target : {0, 720}) {
      const ReadResult result = ReadBytes(folder, c.bytes, target, target * 4 / 5);
      EXPECT_EQ(result.status, ReadStatus::kCannotOpen) << c.name;
      EXPECT_NE(result.detail.find(c.reason), std::string::npos) << c.name << ": " << result.detail;
    }
  }
}

}  // namespace
}  // namespace bootlume::picture::test
