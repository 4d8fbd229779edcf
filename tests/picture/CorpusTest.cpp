// The shared corpus of photos and wallpapers (skipped when it cannot be
// fetched): each picture reads as ImageMagick reads it and goes through the
// encoder's whole picture pipeline; the cut-off JPEG is refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "tests/picture/PictureFixtures.h"
#include "tests/support/TestSupport.h"
#include "tools/picture/PictureInput.h"

namespace bootlume::picture::test {
namespace {

using bootlume::test::HaveProgram;
using bootlume::test::RunProgram;
using bootlume::test::SharedDir;

std::string CorpusFolder() {
  const bootlume::test::ProcessResult fetched = RunProgram({SharedDir() + "/corpus/fetch-pictures.sh"});
  if (fetched.status != 0) return {};
  std::string folder = fetched.out;
  while (!folder.empty() && (folder.back() == '\n' || folder.back() == '\r')) folder.pop_back();
  return folder;
}

// The corpus's pictures, as its fetch script names them.
const char* const kPictures[] = {"astronaut.png",       "coffee.png",        "chelsea.png",         "rocket.jpg",
                                 "camera.png",          "hubble_deep_field.jpg", "retina.jpg",      "logo.png",
                                 "2004default.jpg",     "the-mouse.jpg",     "firstgeneration.jpg", "goldfish.png",
                                 "city.png"};

class CorpusPicture : public testing::TestWithParam<const char*> {};

// Photos are compared whole with ImageMagick's decoding; the large
// wallpapers (ImageMagick takes seconds on them) only go through the
// pipeline, their decoding being the same code as the photos'.
TEST_P(CorpusPicture, ReadsAsImageMagickReadsItAndGoesThroughThePipeline) {
  const std::string folder = CorpusFolder();
  const std::string path = folder + "/" + GetParam();
  if (folder.empty() || !std::filesystem::exists(path)) GTEST_SKIP() << "the shared corpus cannot be fetched";
  const ReadResult ours = ReadPicture(path);
  ASSERT_EQ(ours.status, ReadStatus::kOk) << ours.detail;
  constexpr std::size_t kComparedPixels = 2'500'000;
  if (HaveProgram("convert") && ours.image.pixels.size() / 3 <= kComparedPixels) {
    const auto oracle = DecodeWithImageMagick(path);
    ASSERT_TRUE(oracle.has_value());
    EXPECT_GE(Psnr(ours.image, *oracle), 50.0);
  }
  const ReadResult reduced = ReadPicture(path, 720, 576);
  ASSERT_EQ(reduced.status, ReadStatus::kOk) << reduced.detail;
  EXPECT_GE(reduced.image.width, std::min(ours.image.width, 1440));
  EXPECT_GE(reduced.image.height, std::min(ours.image.height, 1152));
  const Planes420 planes = ToPlanes420(ResizeRgb(reduced.image, 720, 576));
  EXPECT_EQ(planes.y.size(), 720u * 576u);
  EXPECT_EQ(planes.cb.size(), 360u * 288u);
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusPicture, testing::ValuesIn(kPictures), [](const auto& info) {
  std::string name = info.param;
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
});

TEST(Corpus, CutOffJpegIsRefused) {
  const std::string folder = CorpusFolder();
  if (folder.empty() || !std::filesystem::exists(folder + "/truncated.jpg.bad")) {
    GTEST_SKIP() << "the shared corpus cannot be fetched";
  }
  const ReadResult result = ReadPicture(folder + "/truncated.jpg.bad", 720, 576);
  EXPECT_EQ(result.status, ReadStatus::kCannotOpen);
  EXPECT_FALSE(result.detail.empty());
}

}  // namespace
}  // namespace bootlume::picture::test
