#include <gtest/gtest.h>

#include <filesystem>

#include "engine/PreviewPipeline.h"
#include "platform/SystemServices.h"
#include "tests/engine/PipelineFixture.h"

namespace bootlume {
namespace {

namespace fs = std::filesystem;

class PreviewPipeline : public test::PipelineTest {
 protected:
  // The still's first picture as FFmpeg sees it at 720x480, for comparison.
  std::string Reference(const std::string& stream) {
    const std::string reference = cwd_ / "reference.png";
    EXPECT_EQ(test::RunShell("ffmpeg -v error -y -f mpegvideo -i " + stream +
                             " -frames:v 1 -s 720x480 -sws_flags bicubic " + reference),
              0);
    return reference;
  }
};

TEST_F(PreviewPipeline, ShowsTheBootPicturesOfRealStillsAndOfOurOwnStream) {
  const ByteBuffer radio = test::ReadFileBytes(test::SharedDir() + "/samples/radio.mvi");
  ByteBuffer radioClosed = radio;
  radioClosed.Append(kSequenceEndCode);  // without an end code it makes no slot
  const ByteBuffer demo = test::ReadFileBytes(test::DemoFirmwarePath());
  const struct {
    const char* what;
    ByteBuffer image;
  } cases[] = {
      {"MPEG-1 1280x720", FirmwareAround(test::ReadFileBytes(test::SharedDir() + "/samples/black.mvi"), 5001, 40000)},
      {"MPEG-2 1920x1080", FirmwareAround(radioClosed, 3, 300000)},
      {"the demo firmware", demo},
  };
  for (const auto& c : cases) {
    const ByteBuffer before = c.image;
    const ByteBuffer jpeg = PreviewBootPicture(c.image);
    EXPECT_EQ(c.image, before) << c.what;
    ASSERT_FALSE(jpeg.empty()) << c.what;
    EXPECT_EQ(jpeg, test::ReadFileBytes(Work("1.jpg"))) << c.what;
    // The decoder got exactly the slot's bytes.
    const ByteBuffer stream = test::ReadFileBytes(Work("1.mpg"));
    EXPECT_EQ(stream, ExtractPictureStream(c.image, FindPictureSlot(c.image))) << c.what;
    EXPECT_EQ(test::PictureSize(Work("1.jpg")), std::make_pair(720, 480)) << c.what;
    EXPECT_GT(test::PicturePsnr(Work("1.jpg"), Reference(Work("1.mpg"))), 30) << c.what;
  }
}

TEST_F(PreviewPipeline, RunsTheDecoderWithTheSystemsCommandLine) {
  const std::string dir = WorkDirectory().String();
  EXPECT_EQ(DecoderCommandLine(),
            Text(dir + "ffmpge.exe -i " + dir + "1.mpg -y -f image2 -t 0.001 -s 720x480 " + dir + "1.jpg"));
  // A recording stand-in shows the line arrives split as written.
  test::WriteFileBytes(Work("ffmpge.exe"),
                       ByteBuffer::FromString("#!/bin/sh\nprintf '%s|' \"$@\" > \"$(dirname \"$0\")/args\"\n"));
  const ByteBuffer image = FirmwareAround(test::ReadFileBytes(test::SharedDir() + "/samples/black.mvi"), 1, 30000);
  EXPECT_TRUE(PreviewBootPicture(image).empty());
  EXPECT_EQ(test::ReadFileBytes(dir + "args").AsString(),
            "-i|" + dir + "1.mpg|-y|-f|image2|-t|0.001|-s|720x480|" + dir + "1.jpg|");
}

TEST_F(PreviewPipeline, NeverShowsAStalePicture) {
  const ByteBuffer good = FirmwareAround(test::ReadFileBytes(test::SharedDir() + "/samples/black.mvi"), 1, 30000);
  ASSERT_FALSE(PreviewBootPicture(good).empty());
  // A slot whose stream holds no picture: the decoder writes nothing, and the
  // earlier picture must not come back.
  const ByteBuffer damaged = FirmwareAround(ByteBuffer{0, 0, 1, 0xB3, 1, 2, 3, 4, 0, 0, 1, 0xB7}, 100, 1000);
  const Preview preview = PreviewSlotPicture(damaged, FindPictureSlot(damaged));
  EXPECT_TRUE(preview.jpeg.empty());
  EXPECT_EQ(preview.error, PreviewError::kDecoderGaveNoPicture);
}

TEST_F(PreviewPipeline, GivesNothingWithoutASlotOrAWorkArea) {
  EXPECT_EQ(PreviewSlotPicture(ByteBuffer{1, 2, 3}, FindPictureSlot(ByteBuffer{1, 2, 3})).error,
            PreviewError::kNoPicture);
  EXPECT_TRUE(PreviewBootPicture(ByteBuffer()).empty());
  EXPECT_FALSE(fs::exists(Work("1.mpg")));  // the decoder was not involved

  const ByteBuffer image = FirmwareAround(test::ReadFileBytes(test::SharedDir() + "/samples/black.mvi"), 1, 30000);
  RemoveFile(WorkFile("ffmpge.exe"));
  EXPECT_EQ(PreviewSlotPicture(image, FindPictureSlot(image)).error, PreviewError::kDecoderDidNotRun);
  EXPECT_TRUE(fs::exists(Work("1.mpg")));
  RemoveWorkArea();
  EXPECT_EQ(PreviewSlotPicture(image, FindPictureSlot(image)).error, PreviewError::kWorkAreaUnusable);
}

}  // namespace
}  // namespace bootlume
