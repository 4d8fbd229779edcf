#include <gtest/gtest.h>

#include <filesystem>

#include "engine/ReplacementPipeline.h"
#include "platform/SystemServices.h"
#include "tests/engine/PipelineFixture.h"

namespace bootlume {
namespace {

namespace fs = std::filesystem;

constexpr const char* kOutput = "已修改.BIN";

class ReplacementPipeline : public test::PipelineTest {
 protected:
  void SetUp() override {
    PipelineTest::SetUp();
    demo_ = test::ReadFileBytes(test::DemoFirmwarePath());
    ASSERT_TRUE(FindPictureSlot(demo_).IsValid());
  }

  // Replaces the work area's encoder by a script that writes `stream` to
  // its output, whatever it is asked.
  void FakeEncoder(ByteView stream) {
    test::WriteFileBytes(Work("canned.mpg"), stream);
    test::WriteFileBytes(Work("eempge.exe"),
                         ByteBuffer::FromString("#!/bin/sh\nwhile [ $# -gt 0 ]; do [ \"$1\" = -o ] && out=$2; shift; "
                                                "done\ncp \"$(dirname \"$0\")/canned.mpg\" \"$out\"\n"));
  }

  ByteBuffer demo_;
};

TEST_F(ReplacementPipeline, LaysTheNewPictureIntoTheSlotAndChangesNothingElse) {
  const PictureSlot slot = FindPictureSlot(demo_);
  ByteBuffer image = demo_;
  ASSERT_TRUE(ReplaceBootPicture(image, Text(test::DemoPicturePath("skyline.bmp"))));
  const ByteBuffer written = test::ReadFileBytes(Here(kOutput));
  EXPECT_EQ(written, image);
  ASSERT_EQ(written.size(), demo_.size());
  EXPECT_EQ(MiddleBytes(written, 1, slot.start - 1), MiddleBytes(demo_, 1, slot.start - 1));
  EXPECT_EQ(MiddleBytes(written, slot.end + 4, demo_.size()), MiddleBytes(demo_, slot.end + 4, demo_.size()));

  const ByteBuffer stream = test::ReadFileBytes(Work("2.mpg"));
  ASSERT_FALSE(stream.empty());
  EXPECT_LE(stream.size(), slot.length);
  EXPECT_GT(stream.size(), slot.length * 9 / 10) << "the budget should be used";
  EXPECT_EQ(MiddleBytes(written, slot.start, stream.size()), stream);
  const ByteBuffer fill = MiddleBytes(written, slot.start + stream.size(), slot.length - stream.size());
  EXPECT_EQ(fill, ReplaceOccurrences(BlankBuffer(fill.size()), ByteBuffer{0}, ByteBuffer{0xFF}));

  // The new boot picture looks like the chosen picture.
  const std::string decoded = Here("decoded.png");
  const std::string chosen = Here("chosen.png");
  ASSERT_EQ(test::RunShell("ffmpeg -v error -y -f mpegvideo -i " + Work("2.mpg") + " -frames:v 1 " + decoded), 0);
  ASSERT_EQ(test::RunShell("convert " + test::DemoPicturePath("skyline.bmp") + " -resize '720x576!' " + chosen), 0);
  EXPECT_GT(test::PicturePsnr(decoded, chosen), 28);
}

TEST_F(ReplacementPipeline, ASecondReplacementGetsTheFirstStreamsLengthAsItsBudget) {
  ByteBuffer image = demo_;
  ASSERT_TRUE(ReplaceBootPicture(image, Text(test::DemoPicturePath("skyline.bmp"))));
  const std::int32_t firstLength = test::ReadFileBytes(Work("2.mpg")).size();
  const PictureSlot second = FindPictureSlot(image);
  EXPECT_EQ(second.length, firstLength);
  EXPECT_EQ(EncoderCommandLine(second, false),
            Text(WorkDirectory().String() + "eempge.exe -p -f " + WorkDirectory().String() + "2.JPG -o " +
                 WorkDirectory().String() + "2.mpg -s " + std::to_string(firstLength)));
  ASSERT_TRUE(ReplaceBootPicture(image, Text(test::DemoPicturePath("testcard.bmp"))));
  EXPECT_LE(test::ReadFileBytes(Work("2.mpg")).size(), firstLength);
  EXPECT_EQ(image.size(), demo_.size());
}

TEST_F(ReplacementPipeline, FailuresLeaveTheImageAndWriteNothing) {
  test::WriteFileBytes(Here("garbage.jpg"), ByteBuffer::FromString("not a picture at all"));
  const struct {
    const char* what;
    ByteBuffer image;
    std::string picture;
    ReplacementError expected;
  } cases[] = {
      {"missing picture", demo_, Here("missing.jpg"), ReplacementError::kCannotCopyPicture},
      {"no slot", ByteBuffer{1, 2, 3}, test::DemoPicturePath("skyline.bmp"), ReplacementError::kNoPicture},
      {"empty image", ByteBuffer(), test::DemoPicturePath("skyline.bmp"), ReplacementError::kNoPicture},
      {"encoder writes nothing", demo_, Here("garbage.jpg"), ReplacementError::kNoStream},
  };
  for (const auto& c : cases) {
    test::WriteFileBytes(Work("2.mpg"), ExtractPictureStream(demo_, FindPictureSlot(demo_)));  // stale
    ByteBuffer image = c.image;
    EXPECT_EQ(ReplaceSlotPicture(image, FindPictureSlot(image), Text(c.picture), {}), c.expected) << c.what;
    EXPECT_EQ(image, c.image) << c.what;
    EXPECT_FALSE(fs::exists(Here(kOutput))) << c.what;
  }
}

TEST_F(ReplacementPipeline, RefusesStreamsThatAreNotOneCleanStillWithinTheSlot) {
  const PictureSlot slot = FindPictureSlot(demo_);
  const ByteBuffer good = ExtractPictureStream(demo_, slot);
  ByteBuffer tooLong = MiddleBytes(good, 1, good.size() - 4);
  tooLong.AppendRepeated(0x11, 1);
  tooLong.Append(kSequenceEndCode);
  const ByteBuffer endInside = ReplaceRange(good, 100, 0, kSequenceEndCode);
  ByteBuffer garbage;
  for (int i = 0; i < 5000; ++i) garbage.AppendRepeated(static_cast<Byte>((i * 7919) % 253 + 2), 1);
  // A clean still that would run past the end of the whole image.
  ByteBuffer beyondTheImage(kSequenceHeaderCode);
  beyondTheImage.Append(garbage);
  beyondTheImage.AppendRepeated(0xEE, demo_.size());
  beyondTheImage.Append(kSequenceEndCode);
  const struct {
    const char* what;
    ByteBuffer stream;
    ReplacementError expected;
  } cases[] = {
      {"one byte over the budget", tooLong, ReplacementError::kStreamTooLong},
      {"no end code", MiddleBytes(good, 1, good.size() - 4), ReplacementError::kMalformedStream},
      {"no sequence header", MiddleBytes(good, 5, good.size()), ReplacementError::kMalformedStream},
      {"an end code inside", MiddleBytes(endInside, 1, good.size()), ReplacementError::kMalformedStream},
      {"garbage without start codes", garbage, ReplacementError::kMalformedStream},
      {"longer than the whole image", beyondTheImage, ReplacementError::kStreamTooLong},
  };
  for (const auto& c : cases) {
    FakeEncoder(c.stream);
    ByteBuffer image = demo_;
    EXPECT_EQ(ReplaceSlotPicture(image, slot, Text(test::DemoPicturePath("skyline.bmp")), {}), c.expected) << c.what;
    EXPECT_EQ(image, demo_) << c.what;
    EXPECT_FALSE(fs::exists(Here(kOutput))) << c.what;
  }
  // The same stand-in with a stream that fits exactly is accepted.
  FakeEncoder(good);
  ByteBuffer image = demo_;
  EXPECT_TRUE(ReplaceBootPicture(image, Text(test::DemoPicturePath("skyline.bmp"))));
  EXPECT_EQ(image, demo_);
}

TEST_F(ReplacementPipeline, AFailedWriteKeepsTheModifiedImageInMemory) {
  ByteBuffer image = demo_;
  ReplacementOptions options;
  options.outputPath = Text(Here("no/such/folder/out.bin"));
  EXPECT_EQ(ReplaceSlotPicture(image, FindPictureSlot(image), Text(test::DemoPicturePath("skyline.bmp")), options),
            ReplacementError::kCannotWrite);
  EXPECT_NE(image, demo_);
  EXPECT_EQ(image.size(), demo_.size());
}

TEST_F(ReplacementPipeline, QuotesWorkPathsWithBlanks) {
  test::TempDirectory spaced;
  const std::string runtime = spaced / "my runtime";
  fs::create_directories(runtime);
  ReleaseWorkDirectory();
  ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  PrepareWorkArea();
  const std::string dir = runtime + "/bootlume/";
  EXPECT_EQ(EncoderCommandLine(PictureSlot{1, 1001, 1004}, true),
            Text("\"" + dir + "eempge.exe\" -n -f \"" + dir + "2.JPG\" -o \"" + dir + "2.mpg\" -s 1004"));
  ByteBuffer image = demo_;
  EXPECT_TRUE(ReplaceBootPicture(image, Text(test::DemoPicturePath("skyline.bmp"))));
  RemoveWorkArea();
}

}  // namespace
}  // namespace bootlume
