// The decoder tool on the streams a receiver shows: the picture it writes for
// the system's exact command line must match what FFmpeg makes of the stream.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/decoder/DecoderFixtures.h"
#include "tools/decoder/StreamSurvey.h"

namespace bootlume::decoder::test {
namespace {

using bootlume::test::ReadFileBytes;
using bootlume::test::SharedDir;
using bootlume::test::WriteFileBytes;

constexpr double kMinPsnr = 38.0;
constexpr int kBaseline = 0xC0;

// MPEG-2 sites 4:2:0 chroma with the left luma sample, MPEG-1 between samples.
const Rendering kMpeg2Siting{0, 128, "bt601"};
const Rendering kMpeg1Siting{128, 128, "bt601"};

// Runs the system's line on `stream` with the tool installed as the system
// installs it, and checks the JPEG against FFmpeg's pictures of the stream.
void ExpectSystemLineMatchesFfmpeg(const std::string& stream, const Rendering& rendering,
                                   bool compareFfmpegJpeg = true) {
  TempDirectory work;
  const std::string tool = InstallTool(work);
  const std::string input = work / "1.mpg";
  const std::string output = work / "1.jpg";
  std::filesystem::copy_file(stream, input);

  const ProcessResult run = RunTool(tool, SystemLine(input, output));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(JpegFrameMarker(output), kBaseline);
  const auto ours = ReadJpeg(output);
  ASSERT_TRUE(ours);
  EXPECT_EQ(ours->width, 720);
  EXPECT_EQ(ours->height, 480);

  // FFmpeg's JPEG subsamples chroma and sites it centrally whatever the
  // stream says, so its colours are compared through luma only ...
  if (compareFfmpegJpeg) {
    const auto ffmpegJpeg = FfmpegJpegReference(input, work.Path().string());
    ASSERT_TRUE(ffmpegJpeg);
    EXPECT_GE(LumaPsnr(*ours, *ffmpegJpeg), kMinPsnr);
  }
  // ... and the whole picture against FFmpeg's careful rendering of it.
  const auto accurate = FfmpegAccurateReference(input, work.Path().string(), rendering);
  ASSERT_TRUE(accurate);
  EXPECT_GE(RgbPsnr(*ours, *accurate), kMinPsnr);
}

struct StreamCase {
  const char* name;
  int width;
  int height;
  const char* codecArguments;
  Rendering rendering;
  bool appendEndCode = false;  // ffmpeg ends its streams without one
  // FFmpeg 5.1 copies a BT.709 stream's Y'CbCr into the JPEG unchanged,
  // where every reader takes it for BT.601: its colours are off there.
  bool compareFfmpegJpeg = true;
};

// A custom intra matrix: a smooth ramp, far from the default one.
const std::string kIntraMatrix = [] {
  std::string values;
  for (int i = 0; i < 64; ++i) values += (i ? "," : "") + std::to_string(8 + (i % 8) * 3 + (i / 8) * 2);
  return values;
}();

void PrintTo(const StreamCase& variant, std::ostream* out) { *out << variant.name; }

class StreamVariant : public testing::TestWithParam<StreamCase> {};

TEST_P(StreamVariant, SystemLineGivesFfmpegsPictureAt720x480) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
  const StreamCase& variant = GetParam();
  TempDirectory scratch;
  const std::string stream = scratch / "stream.m2v";
  std::string arguments = variant.codecArguments;
  if (arguments.find("INTRA_MATRIX") != std::string::npos)
    arguments.replace(arguments.find("INTRA_MATRIX"), 12, kIntraMatrix);
  ASSERT_TRUE(MakeTestStream(stream, variant.width, variant.height, arguments));
  if (variant.appendEndCode) {
    ByteBuffer bytes = ReadFileBytes(stream);
    bytes.Append(ByteBuffer{0x00, 0x00, 0x01, 0xB7});
    WriteFileBytes(stream, bytes);
  }
  ExpectSystemLineMatchesFfmpeg(stream, variant.rendering, variant.compareFfmpegJpeg);
}

INSTANTIATE_TEST_SUITE_P(
    FfmpegStreams, StreamVariant,
    testing::Values(
        StreamCase{"Mpeg1Cif", 352, 288, "-c:v mpeg1video -q:v 3", kMpeg1Siting},
        StreamCase{"Mpeg1Pal", 720, 576, "-c:v mpeg1video -q:v 3", kMpeg1Siting},
        StreamCase{"Mpeg2Pal", 720, 576, "-c:v mpeg2video -q:v 3", kMpeg2Siting},
        StreamCase{"Mpeg2Ntsc", 720, 480, "-c:v mpeg2video -q:v 3", kMpeg2Siting},
        StreamCase{"Mpeg2Cif", 352, 288, "-c:v mpeg2video -q:v 3", kMpeg2Siting},
        StreamCase{"Mpeg2Hd1080", 1920, 1080, "-c:v mpeg2video -q:v 3", kMpeg2Siting},
        StreamCase{"Mpeg2InterlacedFieldDctPal", 720, 576, "-c:v mpeg2video -q:v 3 -flags +ildct+ilme -top 1",
                   kMpeg2Siting},
        StreamCase{"Mpeg2InterlacedFieldDctNtsc", 720, 480, "-c:v mpeg2video -q:v 3 -flags +ildct+ilme -top 0",
                   kMpeg2Siting},
        StreamCase{"Mpeg2Chroma422", 720, 576, "-c:v mpeg2video -q:v 3 -pix_fmt yuv422p", Rendering{0, 0, "bt601"}},
        StreamCase{"Mpeg2Chroma422Hd", 1920, 1080, "-c:v mpeg2video -q:v 4 -pix_fmt yuv422p", Rendering{0, 0, "bt601"}},
        StreamCase{"Mpeg2CustomIntraMatrix", 720, 576, "-c:v mpeg2video -q:v 3 -intra_matrix INTRA_MATRIX",
                   kMpeg2Siting},
        StreamCase{"Mpeg2AlternateScanNonLinearQuant", 720, 576,
                   "-c:v mpeg2video -q:v 3 -qmax 28 -intra_vlc 1 -alternate_scan 1 -non_linear_quant 1", kMpeg2Siting},
        StreamCase{"Mpeg2DcPrecision10", 720, 576, "-c:v mpeg2video -q:v 3 -dc 10", kMpeg2Siting},
        StreamCase{"Mpeg2Bt709", 1280, 720,
                   "-c:v mpeg2video -q:v 3 -colorspace bt709 -color_primaries bt709 -color_trc bt709",
                   Rendering{0, 128, "bt709"}, false, false},
        StreamCase{"Mpeg2WithEndCode", 720, 576, "-c:v mpeg2video -q:v 3", kMpeg2Siting, true},
        StreamCase{"Mpeg2GroupOfSixPictures", 720, 576, "-c:v mpeg2video -q:v 3 -frames:v 6 -g 6 -bf 2", kMpeg2Siting}),
    [](const testing::TestParamInfo<StreamCase>& info) { return std::string(info.param.name); });

// The stream's own matrix decides the colours: read as BT.601, a BT.709
// stream comes out visibly different.
TEST(DecoderColour, Bt709StreamIsNotReadAsBt601) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
  TempDirectory work;
  const std::string stream = work / "1.mpg";
  ASSERT_TRUE(MakeTestStream(stream, 1280, 720, "-c:v mpeg2video -q:v 3 -colorspace bt709"));
  const ProcessResult run = RunTool(InstallTool(work), SystemLine(stream, work / "1.jpg"));
  ASSERT_EQ(run.status, 0) << run.err;
  const auto ours = ReadJpeg(work / "1.jpg");
  const auto asBt601 = FfmpegAccurateReference(stream, work.Path().string(), kMpeg2Siting);
  ASSERT_TRUE(ours && asBt601);
  EXPECT_LT(RgbPsnr(*ours, *asBt601), 32.0);
}

class RealSample : public testing::TestWithParam<std::pair<const char*, bool>> {};

TEST_P(RealSample, SystemLineGivesFfmpegsPicture) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
  const auto [name, mpeg2] = GetParam();
  ExpectSystemLineMatchesFfmpeg(SharedDir() + "/samples/" + name, mpeg2 ? kMpeg2Siting : kMpeg1Siting);
}

// Without -s the picture keeps the stream's size; its luma must be libmpeg2's.
TEST_P(RealSample, NativeSizeLumaMatchesLibmpeg2) {
  const auto [name, mpeg2] = GetParam();
  TempDirectory work;
  const std::string sample = SharedDir() + "/samples/" + name;
  const ProcessResult run = RunTool(InstallTool(work), {"-i", sample, "-y", "-f", "image2", work / "native.jpg"});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto ours = ReadJpeg(work / "native.jpg");
  ASSERT_TRUE(ours);
  const auto libmpeg2 = Mpeg2decLuma(sample, work, ours->width, ours->height);
  if (!libmpeg2) GTEST_SKIP() << "mpeg2dec is not installed";
  EXPECT_EQ(ours->width, mpeg2 ? 1920 : 1280);
  EXPECT_GE(LumaPsnr(*ours, *libmpeg2), kMinPsnr);
}

INSTANTIATE_TEST_SUITE_P(Samples, RealSample,
                         testing::Values(std::pair{"black.mvi", false}, std::pair{"radio.mvi", true}),
                         [](const auto& info) { return std::string(info.param.second ? "Mpeg2Radio" : "Mpeg1Black"); });

// Streams of our own encoder, PAL and NTSC, as the replacement writes them.
TEST(DecoderOwnStreams, SystemLineGivesFfmpegsPictureOfOurEncodersStreams) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
  TempDirectory work;
  const std::string card = work / "card.png";
  ASSERT_TRUE(RunFfmpeg("-f lavfi -i testsrc2=s=1024x768 -frames:v 1 '" + card + "'"));
  for (const char* system : {"-p", "-n"}) {
    const std::string stream = work / (std::string("own") + system + ".m2v");
    const ProcessResult encoded = bootlume::test::RunProgram(
        {bootlume::test::BinaryDir() + "/bootlume-encode", system, "-f", card, "-o", stream, "-s", "40000"});
    ASSERT_EQ(encoded.status, 0) << encoded.err;
    ExpectSystemLineMatchesFfmpeg(stream, kMpeg2Siting);
  }
}

// A frame coded as two field pictures comes out whole, both fields woven.
TEST(DecoderFields, FieldPicturePairGivesTheWholeFrame) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
  TempDirectory work;
  for (const char* parity : {"top", "bottom"}) {
    ASSERT_TRUE(RunFfmpeg("-f lavfi -i testsrc2=s=720x576:r=25 -frames:v 1 -vf field=" + std::string(parity) +
                          " -c:v mpeg2video -q:v 2 -f mpeg2video '" + (work / parity) + ".m2v'"));
  }
  const std::string stream = work / "fields.m2v";
  WriteFileBytes(stream, ComposeFieldPair(ReadFileBytes(work / "top.m2v"), ReadFileBytes(work / "bottom.m2v")));

  ExpectSystemLineMatchesFfmpeg(stream, kMpeg2Siting);

  const ProcessResult run = RunTool(InstallTool(work), {"-i", stream, "-y", work / "native.jpg"});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto ours = ReadJpeg(work / "native.jpg");
  ASSERT_TRUE(ours);
  EXPECT_EQ(ours->height, 576);
  const auto libmpeg2 = Mpeg2decLuma(stream, work, 720, 576);
  if (!libmpeg2) GTEST_SKIP() << "mpeg2dec is not installed";
  EXPECT_GE(LumaPsnr(*ours, *libmpeg2), kMinPsnr);
}

// A stream that ends after the first field of its frame: the other field is
// interpolated instead of being left undefined (green stripes in FFmpeg).
TEST(DecoderFields, LoneFirstFieldIsCompletedByInterpolation) {
  if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
  TempDirectory work;
  for (const char* parity : {"top", "bottom"}) {
    ASSERT_TRUE(RunFfmpeg("-f lavfi -i testsrc2=s=720x576:r=25 -frames:v 1 -vf field=" + std::string(parity) +
                          " -c:v mpeg2video -q:v 2 -f mpeg2video '" + (work / parity) + ".m2v'"));
  }
  const ByteBuffer pair = ComposeFieldPair(ReadFileBytes(work / "top.m2v"), ReadFileBytes(work / "bottom.m2v"));
  WriteFileBytes(work / "pair.m2v", pair);
  // Cut before the second picture start code: the top field alone.
  std::size_t second = 0;
  int pictures = 0;
  for (auto at = FindStartCode(pair, 0); at && second == 0; at = FindStartCode(pair, *at + 3)) {
    if (pair[static_cast<std::int32_t>(*at + 3)] == 0x00 && ++pictures == 2) second = *at;
  }
  ASSERT_GT(second, 0u);
  WriteFileBytes(work / "field.m2v", ByteBuffer(ByteView(pair).first(second)));

  const std::string tool = InstallTool(work);
  ASSERT_EQ(RunTool(tool, SystemLine(work / "pair.m2v", work / "pair.jpg")).status, 0);
  const ProcessResult run = RunTool(tool, SystemLine(work / "field.m2v", work / "field.jpg"));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("only one field"), std::string::npos);
  const auto whole = ReadJpeg(work / "pair.jpg");
  const auto half = ReadJpeg(work / "field.jpg");
  ASSERT_TRUE(whole && half);
  EXPECT_GE(LumaPsnr(*half, *whole), 33.0);
}

}  // namespace
}  // namespace bootlume::decoder::test
