#include <gtest/gtest.h>

#include "engine/StreamInfo.h"
#include "platform/ByteOperations.h"
#include "tests/support/TestSupport.h"

namespace bootlume {
namespace {

TEST(ReadStreamInfo, ReadsTheRealStills) {
  const struct {
    const char* file;
    StreamInfo expected;
  } cases[] = {
      {"black.mvi", {true, "MPEG-1", 1280, 720, 25, "pixel 1.0000", "", "4:2:0"}},
      {"radio.mvi", {true, "MPEG-2", 1920, 1080, 25, "16:9", "Main@High", "4:2:0"}},
  };
  for (const auto& c : cases) {
    const StreamInfo info = ReadStreamInfo(test::ReadFileBytes(test::SharedDir() + "/samples/" + c.file));
    EXPECT_EQ(info.valid, c.expected.valid) << c.file;
    EXPECT_EQ(info.format, c.expected.format) << c.file;
    EXPECT_EQ(info.width, c.expected.width) << c.file;
    EXPECT_EQ(info.height, c.expected.height) << c.file;
    EXPECT_DOUBLE_EQ(info.frameRate, c.expected.frameRate) << c.file;
    EXPECT_EQ(info.aspectRatio, c.expected.aspectRatio) << c.file;
    EXPECT_EQ(info.profileLevel, c.expected.profileLevel) << c.file;
    EXPECT_EQ(info.chroma, c.expected.chroma) << c.file;
  }
}

TEST(ReadStreamInfo, AgreesWithFfprobeOnStreamsFfmpegMakes) {
  if (!test::HaveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg missing";
  test::TempDirectory dir;
  const struct {
    const char* options;
    int width, height;
    double rate;
    const char* aspect;
    const char* profile;
    const char* chroma;
  } cases[] = {
      {"-s 720x480 -r 30000/1001 -aspect 4:3", 720, 480, 30000.0 / 1001, "4:3", "Main@Main", "4:2:0"},
      {"-s 352x288 -r 25 -aspect 16:9 -pix_fmt yuv422p", 352, 288, 25, "16:9", "4:2:2@Main", "4:2:2"},
  };
  for (const auto& c : cases) {
    const std::string stream = dir / "s.m2v";
    ASSERT_EQ(test::RunShell(std::string("ffmpeg -v error -y -f lavfi -i testsrc -frames:v 1 -c:v mpeg2video ") +
                             c.options + " " + stream),
              0);
    const StreamInfo info = ReadStreamInfo(test::ReadFileBytes(stream));
    EXPECT_EQ(info.format, "MPEG-2");
    EXPECT_EQ(info.width, c.width);
    EXPECT_EQ(info.height, c.height);
    EXPECT_NEAR(info.frameRate, c.rate, 1e-9);
    EXPECT_EQ(info.aspectRatio, c.aspect);
    EXPECT_EQ(info.profileLevel, c.profile);
    EXPECT_EQ(info.chroma, c.chroma);
  }
}

TEST(ReadStreamInfo, RefusesWhatIsNoWholeSequenceHeader) {
  const ByteBuffer radio = test::ReadFileBytes(test::SharedDir() + "/samples/radio.mvi");
  for (const ByteBuffer& stream : {ByteBuffer(), ByteBuffer{0, 0, 1, 0xB3, 0x2D}, MiddleBytes(radio, 2, 100)}) {
    EXPECT_FALSE(ReadStreamInfo(stream).valid);
  }
}

TEST(FindAllPictureSlots, ListsEachStillOnceInOrder) {
  const ByteBuffer header{0, 0, 1, 0xB3};
  const ByteBuffer end{0, 0, 1, 0xB7};
  ByteBuffer image{0xAA};  // position 1
  for (const ByteBuffer& part : {end, header, header, ByteBuffer{1, 2}, end, ByteBuffer{3}, header, end, header}) {
    image.Append(part);
  }
  // positions: end 2, header 6, header 10, end 16, header 21, end 25, unclosed header 29
  const std::vector<PictureSlot> slots = FindAllPictureSlots(image);
  ASSERT_EQ(slots.size(), 2u);
  EXPECT_EQ(slots[0], (PictureSlot{6, 16, 14}));
  EXPECT_EQ(slots[0], FindPictureSlot(image));
  EXPECT_EQ(slots[1], (PictureSlot{21, 25, 8}));
  EXPECT_TRUE(FindAllPictureSlots(ByteBuffer{0, 0, 1, 0xB3}).empty());
}

}  // namespace
}  // namespace bootlume
