// The decoder tool's failures: exit status 1, one line on stderr, and the
// output path exactly as it was (no picture, no leftover temporary file).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "tests/decoder/DecoderFixtures.h"
#include "tools/decoder/StreamSurvey.h"

namespace bootlume::decoder::test {
namespace {

namespace fs = std::filesystem;
using bootlume::test::ReadFileBytes;
using bootlume::test::WriteFileBytes;

const ByteBuffer kEarlierPicture = ByteBuffer::FromString("the picture of an earlier preview");

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// A 720x576 MPEG-2 still made by ffmpeg, and where its slices start.
struct GoodStream {
  ByteBuffer bytes;
  std::vector<std::size_t> slices;
};

GoodStream MakeGoodStream(const TempDirectory& scratch) {
  const std::string path = scratch / "good.m2v";
  if (!MakeTestStream(path, 720, 576, "-c:v mpeg2video -q:v 3")) return {};
  GoodStream good{ReadFileBytes(path), {}};
  for (auto at = FindStartCode(good.bytes, 0); at; at = FindStartCode(good.bytes, *at + 3)) {
    const Byte code = good.bytes[static_cast<std::int32_t>(*at + 3)];
    if (code >= 0x01 && code <= 0xAF) good.slices.push_back(*at);
  }
  return good;
}

std::size_t FindPicture(const ByteBuffer& bytes) {
  for (auto at = FindStartCode(bytes, 0); at; at = FindStartCode(bytes, *at + 3)) {
    if (bytes[static_cast<std::int32_t>(*at + 3)] == 0x00) return *at;
  }
  return 0;
}

ByteBuffer Prefix(const ByteBuffer& bytes, std::size_t length) {
  return ByteBuffer(ByteView(bytes).first(std::min<std::size_t>(length, static_cast<std::size_t>(bytes.size()))));
}

// The stream with its sequence header declaring another size.
ByteBuffer WithDeclaredSize(const ByteBuffer& bytes, int width, int height) {
  ByteBuffer changed = bytes;
  changed.data()[4] = static_cast<Byte>(width >> 4);
  changed.data()[5] = static_cast<Byte>(((width & 0x0F) << 4) | (height >> 8));
  changed.data()[6] = static_cast<Byte>(height & 0xFF);
  return changed;
}

ByteBuffer Garbage(std::size_t length) {
  ByteBuffer bytes;
  std::uint32_t state = 12345;
  for (std::size_t i = 0; i < length; ++i) {
    state = state * 1664525u + 1013904223u;
    bytes.Append(ByteBuffer{static_cast<Byte>(state >> 24)});
  }
  return bytes;
}

struct BadInput {
  const char* name;
  std::function<ByteBuffer(const GoodStream&)> make;
  const char* messagePart;
};

void PrintTo(const BadInput& input, std::ostream* out) { *out << input.name; }

class BadStream : public testing::TestWithParam<BadInput> {};

TEST_P(BadStream, FailsAndLeavesTheEarlierPicture) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
  TempDirectory work;
  const GoodStream good = MakeGoodStream(work);
  ASSERT_GT(good.slices.size(), 10u);
  fs::remove(work / "good.m2v");
  const std::string tool = InstallTool(work);
  WriteFileBytes(work / "1.mpg", GetParam().make(good));
  WriteFileBytes(work / "1.jpg", kEarlierPicture);
  const auto before = Names(work.Path());

  const ProcessResult run = RunTool(tool, SystemLine(work / "1.mpg", work / "1.jpg"));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find(GetParam().messagePart), std::string::npos) << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  EXPECT_EQ(ReadFileBytes(work / "1.jpg"), kEarlierPicture);
  EXPECT_EQ(Names(work.Path()), before);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, BadStream,
    testing::Values(
        BadInput{"Empty", [](const GoodStream&) { return ByteBuffer(); }, "empty"},
        BadInput{"Garbage", [](const GoodStream&) { return Garbage(100000); }, "sequence header"},
        BadInput{"CutInsideFirstSlice", [](const GoodStream& g) { return Prefix(g.bytes, g.slices[0] + 40); },
                 "no part of the first picture"},
        BadInput{"OnlyBidirectionalPicturesWithoutReferences",
                 [](const GoodStream& g) {
                   // The still's picture re-labelled as a B picture, twenty times over.
                   const std::size_t picture = FindPicture(g.bytes);
                   ByteBuffer coded(ByteView(g.bytes).subspan(picture));
                   coded.data()[5] = static_cast<Byte>((coded[5] & ~0x38) | (3 << 3));
                   ByteBuffer stream = Prefix(g.bytes, picture);
                   for (int i = 0; i < 20; ++i) stream.Append(coded);
                   return stream;
                 },
                 "no part of the first picture"},
        BadInput{"CodedPictureAbove8MiB",
                 [](const GoodStream& g) {
                   // The first slice repeated until the picture is longer than any real one.
                   ByteBuffer stream = Prefix(g.bytes, g.slices[1]);
                   const ByteView slice = ByteView(g.bytes).subspan(g.slices[0], g.slices[1] - g.slices[0]);
                   while (stream.size() <= (9 << 20)) stream.Append(slice);
                   return stream;
                 },
                 "larger than 8 MiB"},
        BadInput{"HeadersWithoutSlices", [](const GoodStream& g) { return Prefix(g.bytes, g.slices[0]); },
                 "no decodable picture"},
        BadInput{"HeaderOnly", [](const GoodStream& g) { return Prefix(g.bytes, 12); }, "no picture"},
        BadInput{"SizeTooLarge", [](const GoodStream& g) { return WithDeclaredSize(g.bytes, 4095, 4095); },
                 "4095x4095"},
        BadInput{"SizeZero", [](const GoodStream& g) { return WithDeclaredSize(g.bytes, 0, 576); }, "0x576"},
        BadInput{"SizeExtensionBeyondLimits",
                 [](const GoodStream& g) {
                   // horizontal_size_extension = 1: 720 + 4096 samples wide.
                   ByteBuffer changed = g.bytes;
                   const auto extension = FindStartCode(changed, 4).value();
                   changed.data()[extension + 6] |= 0x80;
                   return changed;
                 },
                 "4816x576"}),
    [](const testing::TestParamInfo<BadInput>& info) { return std::string(info.param.name); });

// A tool run in a work directory with a good input "1.mpg" and an earlier "1.jpg".
class DecoderRun : public testing::Test {
 protected:
  void SetUp() override {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    ASSERT_TRUE(MakeTestStream(input_, 720, 576, "-c:v mpeg2video -q:v 3"));
    WriteFileBytes(output_, kEarlierPicture);
  }

  // Runs and checks the failure contract; returns stderr.
  std::string ExpectFailure(const std::vector<std::string>& arguments) {
    const auto before = Names(work_.Path());
    const ProcessResult run = RunTool(tool_, arguments);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(ReadFileBytes(output_), kEarlierPicture);
    EXPECT_EQ(Names(work_.Path()), before);
    return run.err;
  }

  TempDirectory work_;
  std::string tool_ = InstallTool(work_);
  std::string input_ = work_ / "1.mpg";
  std::string output_ = work_ / "1.jpg";
};

TEST_F(DecoderRun, MissingInput) {
  EXPECT_NE(ExpectFailure(SystemLine(work_ / "absent.mpg", output_)).find("No such file"), std::string::npos);
}

TEST_F(DecoderRun, InputIsAFolder) {
  EXPECT_NE(ExpectFailure(SystemLine(work_.Path().string(), output_)).find("directory"), std::string::npos);
}

TEST_F(DecoderRun, InputAbove64MiBIsRefusedUnread) {
  const std::string huge = work_ / "huge.mpg";
  fs::copy_file(input_, huge);
  fs::resize_file(huge, (64u << 20) + 1);  // sparse: the good stream, then zeros
  EXPECT_NE(ExpectFailure(SystemLine(huge, output_)).find("64 MiB"), std::string::npos);
}

TEST_F(DecoderRun, UnknownOption) {
  std::vector<std::string> line = SystemLine(input_, output_);
  line.insert(line.begin() + 2, "-frob");
  EXPECT_EQ(ExpectFailure(line), "Unrecognized option 'frob'.\n");
}

TEST_F(DecoderRun, ExistingOutputWithoutOverwrite) {
  EXPECT_NE(ExpectFailure({"-i", input_, "-f", "image2", "-s", "720x480", output_}).find("already exists"),
            std::string::npos);
  EXPECT_NE(ExpectFailure({"-n", "-i", input_, output_}).find("already exists"), std::string::npos);
}

TEST_F(DecoderRun, OutputInAMissingFolder) {
  const auto before = Names(work_.Path());
  const ProcessResult run = RunTool(tool_, SystemLine(input_, work_ / "absent/1.jpg"));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("could not be written"), std::string::npos) << run.err;
  EXPECT_EQ(Names(work_.Path()), before);
}

TEST_F(DecoderRun, OutputIsAFolder) {
  fs::create_directory(work_ / "folder.jpg");
  const ProcessResult run = RunTool(tool_, SystemLine(input_, work_ / "folder.jpg"));
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(fs::is_directory(work_ / "folder.jpg"));
  EXPECT_TRUE(fs::is_empty(work_ / "folder.jpg"));
}

TEST_F(DecoderRun, OutputSameAsInput) {
  const ByteBuffer stream = ReadFileBytes(input_);
  const ProcessResult run = RunTool(tool_, {"-i", input_, "-y", "-f", "image2", input_});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(ReadFileBytes(input_), stream);
}

TEST_F(DecoderRun, QuietFailureSaysNothing) {
  const ProcessResult run = RunTool(tool_, {"-loglevel", "quiet", "-i", work_ / "absent.mpg", "-y", output_});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(ReadFileBytes(output_), kEarlierPicture);
}

TEST_F(DecoderRun, OverwriteReplacesTheEarlierPicture) {
  const ProcessResult run = RunTool(tool_, SystemLine(input_, output_));
  ASSERT_EQ(run.status, 0) << run.err;
  const auto picture = ReadJpeg(output_);
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->width, 720);
  EXPECT_EQ(picture->height, 480);
}

TEST_F(DecoderRun, PictureDamagedAfterItsFirstSlicesIsShownWithAWarning) {
  ByteBuffer stream = ReadFileBytes(input_);
  stream.Resize(stream.size() / 2);
  WriteFileBytes(input_, stream);
  const ProcessResult run = RunTool(tool_, SystemLine(input_, output_));
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.err.find("damaged"), std::string::npos) << run.err;
  EXPECT_TRUE(ReadJpeg(output_));
}

TEST_F(DecoderRun, HelpGoesToStandardOutput) {
  const ProcessResult run = RunTool(tool_, {"-h"});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("usage:"), std::string::npos);
  EXPECT_EQ(ReadFileBytes(output_), kEarlierPicture);
}

}  // namespace
}  // namespace bootlume::decoder::test
