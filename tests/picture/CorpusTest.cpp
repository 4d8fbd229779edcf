// The shared corpus of photos and wallpapers (skipped when it cannot be
// fetched): each picture reads as ImageMagick reads it and goes through the
// encoder's whole picture pipeline; the cut-off JPEG is refused.
#include <gtest/gtest.h>

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

TEST(Corpus, EveryPictureReadsAsImageMagickReadsIt) {
  if (!HaveProgram("convert")) GTEST_SKIP() << "ImageMagick is not installed";
  const std::string folder = CorpusFolder();
  if (folder.empty() || !std::filesystem::is_directory(folder)) GTEST_SKIP() << "the shared corpus cannot be fetched";
  int pictures = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string path = entry.path().string();
    const std::string extension = entry.path().extension().string();
    if (extension != ".jpg" && extension != ".png") continue;
    ++pictures;
    const ReadResult ours = ReadPicture(path);
    ASSERT_EQ(ours.status, ReadStatus::kOk) << path << ": " << ours.detail;
    const auto oracle = DecodeWithImageMagick(path);
    ASSERT_TRUE(oracle.has_value()) << path;
    EXPECT_GE(Psnr(ours.image, *oracle), 50.0) << path;

    const ReadResult reduced = ReadPicture(path, 720, 576);
    ASSERT_EQ(reduced.status, ReadStatus::kOk) << path << ": " << reduced.detail;
    const Planes420 planes = ToPlanes420(ResizeRgb(reduced.image, 720, 576));
    EXPECT_EQ(planes.y.size(), 720u * 576u) << path;
    EXPECT_EQ(planes.cb.size(), 360u * 288u) << path;
  }
  EXPECT_GT(pictures, 0);
}

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
