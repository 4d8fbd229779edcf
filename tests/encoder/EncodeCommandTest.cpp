#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/encoder/EncoderTestSupport.h"
#include "tests/encoder/StreamInspector.h"
#include "tests/support/TestSupport.h"
#include "tools/encoder/EncodeCommand.h"

namespace bootlume {
namespace {

namespace fs = std::filesystem;
using encoder::EncodeArguments;
using encoder::ParseEncodeArguments;
using encoder::TvSystem;
using test::TempDirectory;

// ---- the command line, parsed ----------------------------------------------

struct ParseCase {
  const char* name;
  std::vector<std::string> arguments;
  bool usage;
  TvSystem system;
  std::string input, output;
  std::int64_t budget;
};

void PrintTo(const ParseCase& c, std::ostream* out) { *out << c.name; }

class Parse : public testing::TestWithParam<ParseCase> {};

TEST_P(Parse, FollowsTheOptionRules) {
  const ParseCase& c = GetParam();
  const EncodeArguments parsed = ParseEncodeArguments(c.arguments);
  EXPECT_EQ(parsed.usage, c.usage);
  if (c.usage) return;
  EXPECT_EQ(parsed.system, c.system);
  EXPECT_EQ(parsed.input, c.input);
  EXPECT_EQ(parsed.output, c.output);
  EXPECT_EQ(parsed.budget, c.budget);
}

const TvSystem kPal = TvSystem::kPal, kNtsc = TvSystem::kNtsc;
INSTANTIATE_TEST_SUITE_P(
    Arguments, Parse,
    testing::Values(
        ParseCase{"Nothing", {}, true, kPal, "", "", 0}, ParseCase{"Help", {"-h", "-f", "a", "-o", "b"}, true, kPal, "", "", 0},
        ParseCase{"NoOutput", {"-f", "a"}, true, kPal, "", "", 0}, ParseCase{"NoInput", {"-o", "b"}, true, kPal, "", "", 0},
        ParseCase{"OutputWithoutValue", {"-f", "a", "-o"}, true, kPal, "", "", 0},
        ParseCase{"Defaults", {"-f", "a", "-o", "b"}, false, kPal, "a", "b", 32704},
        ParseCase{"Ntsc", {"-n", "-f", "a", "-o", "b"}, false, kNtsc, "a", "b", 32704},
        ParseCase{"NtscThenPal", {"-n", "-p", "-f", "a", "-o", "b"}, false, kPal, "a", "b", 32704},
        ParseCase{"PalThenNtsc", {"-p", "-f", "a", "-n", "-o", "b"}, false, kPal, "a", "b", 32704},
        ParseCase{"Budget", {"-s", "16384", "-f", "a", "-o", "b"}, false, kPal, "a", "b", 16384},
        ParseCase{"CaseMatters", {"-N", "-S", "9", "-F", "x", "-f", "a", "-o", "b"}, false, kPal, "a", "b", 32704},
        ParseCase{"ValueIsTakenWhateverItLooksLike", {"-f", "-o", "-o", "-n"}, false, kPal, "-o", "-n", 32704},
        ParseCase{"OthersIgnored", {"x", "-f", "a", "--", "-o", "b", "y"}, false, kPal, "a", "b", 32704},
        ParseCase{"LastOfARepeatedOption", {"-f", "a", "-f", "c", "-o", "b", "-s", "1", "-s", "77"}, false, kPal, "c", "b", 77},
        ParseCase{"BudgetNotANumber", {"-s", "12k", "-f", "a", "-o", "b"}, true, kPal, "", "", 0},
        ParseCase{"BudgetZero", {"-s", "0", "-f", "a", "-o", "b"}, true, kPal, "", "", 0},
        ParseCase{"BudgetNegative", {"-s", "-5", "-f", "a", "-o", "b"}, true, kPal, "", "", 0},
        ParseCase{"BudgetWithoutValue", {"-f", "a", "-o", "b", "-s"}, true, kPal, "", "", 0}),
    [](const testing::TestParamInfo<ParseCase>& info) { return std::string(info.param.name); });

// ---- the program ---------------------------------------------------------------

std::string Program() { return test::BinaryDir() + "/bootlume-encode"; }

bool HaveTools() { return test::HaveProgram("convert") && test::HaveProgram("ffmpeg") && test::HaveProgram("ffprobe"); }

// A picture with structure in every direction and colour, made by ImageMagick.
void MakePicture(const std::string& path, const std::string& options = "", const std::string& size = "400x300") {
  const std::string command = "convert -size " + size +
                              " gradient:'#d02020'-'#2040e0' -fill '#30c030' -draw 'circle 120,150 120,60'"
                              " -fill white -draw 'rectangle 250,40 360,120' -fill black -draw 'line 0,0 399,299' " +
                              options + " '" + path + "'";
  ASSERT_EQ(test::RunShell(command), 0) << command;
}

std::vector<std::uint8_t> Bytes(const std::string& path) {
  const ByteBuffer buffer = test::ReadFileBytes(path);
  return {buffer.begin(), buffer.end()};
}

// RGB PSNR of the stream (decoded by FFmpeg) against the picture stretched to
// the frame by ImageMagick.
double StreamPsnrAgainst(const std::string& stream, const std::string& picture, const std::string& size, TempDirectory& dir) {
  const std::string reference = dir / "reference.png", decoded = dir / "decoded.png";
  if (test::RunShell("convert '" + picture + "' -auto-orient -background black -flatten -resize '" + size + "!' -depth 8 'PNG24:" +
                     reference + "'") != 0)
    return 0;
  if (test::RunShell("ffmpeg -v error -y -f mpegvideo -i '" + stream + "' -frames:v 1 '" + decoded + "'") != 0) return 0;
  const test::ProcessResult psnr = test::RunProgram(
      {"ffmpeg", "-hide_banner", "-i", decoded, "-i", reference, "-lavfi", "[0:v]format=rgb24[a];[1:v]format=rgb24[b];[a][b]psnr", "-f", "null", "-"});
  const std::size_t at = psnr.err.find("average:");
  return at == std::string::npos ? 0 : std::atof(psnr.err.c_str() + at + 8);
}

struct EncodeRun {
  test::ProcessResult result;
  std::string output;
};

EncodeRun Encode(TempDirectory& dir, const std::string& input, std::vector<std::string> options = {}) {
  EncodeRun run;
  run.output = dir / "out.m2v";
  std::vector<std::string> arguments = {Program()};
  arguments.insert(arguments.end(), options.begin(), options.end());
  arguments.insert(arguments.end(), {"-f", input, "-o", run.output});
  run.result = test::RunProgram(arguments);
  return run;
}

TEST(Program, ShowsUsageAndWritesNothingWithoutItsFiles) {
  TempDirectory dir;
  for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
           {}, {"-h"}, {"-f", dir / "in.png"}, {"-o", dir / "out.m2v"}, {"-h", "-f", dir / "in.png", "-o", dir / "out.m2v"}}) {
    std::vector<std::string> command = {Program()};
    command.insert(command.end(), arguments.begin(), arguments.end());
    const test::ProcessResult result = test::RunProgram(command);
    EXPECT_EQ(result.status, 255);
    EXPECT_NE(result.out.find("usage: bootlume-encode"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "out.m2v"));
  }
}

struct SystemCase {
  const char* name;
  std::vector<std::string> options;
  int height;
  const char* frameRate;
};

void PrintTo(const SystemCase& c, std::ostream* out) { *out << c.name; }

class Systems : public testing::TestWithParam<SystemCase> {};

TEST_P(Systems, GiveTheirFrameAndRate) {
  if (!HaveTools()) GTEST_SKIP() << "needs ImageMagick and FFmpeg";
  const SystemCase& c = GetParam();
  TempDirectory dir;
  MakePicture(dir / "in.png");
  const EncodeRun run = Encode(dir, dir / "in.png", c.options);
  ASSERT_EQ(run.result.status, 0) << run.result.err;
  const std::vector<std::uint8_t> stream = Bytes(run.output);
  EXPECT_LE(stream.size(), 32704u);
  EXPECT_EQ(test::InspectStream(stream, c.height / 16).problem, "");
  const test::ProcessResult probe = test::RunProgram({"ffprobe", "-v", "error", "-show_entries",
                                                      "stream=width,height,r_frame_rate,profile,level", "-of", "default=nw=1", run.output});
  for (const std::string& line : {std::string("width=720"), "height=" + std::to_string(c.height), std::string("r_frame_rate=") + c.frameRate,
                                  std::string("profile=Main"), std::string("level=8")}) {
    EXPECT_NE(probe.out.find(line + "\n"), std::string::npos) << line << " in " << probe.out;
  }
  EXPECT_GT(StreamPsnrAgainst(run.output, dir / "in.png", "720x" + std::to_string(c.height), dir), 30.0);
}

INSTANTIATE_TEST_SUITE_P(Options, Systems,
                         testing::Values(SystemCase{"Default", {}, 576, "25/1"}, SystemCase{"Pal", {"-p"}, 576, "25/1"},
                                         SystemCase{"Ntsc", {"-n"}, 480, "30/1"},
                                         SystemCase{"NtscThenPal", {"-n", "-p"}, 576, "25/1"},
                                         SystemCase{"PalThenNtsc", {"-p", "-n"}, 576, "25/1"}),
                         [](const testing::TestParamInfo<SystemCase>& info) { return std::string(info.param.name); });

// Every format a user may pick ends up as a stream that shows the picture.
struct FormatCase {
  const char* name;
  const char* file;     // ImageMagick picks the format by the name's prefix and extension
  const char* options;  // ImageMagick options that shape the file
};

void PrintTo(const FormatCase& c, std::ostream* out) { *out << c.name; }

class Formats : public testing::TestWithParam<FormatCase> {};

TEST_P(Formats, AreEncodedAsThePicture) {
  if (!HaveTools()) GTEST_SKIP() << "needs ImageMagick and FFmpeg";
  const FormatCase& c = GetParam();
  TempDirectory dir;
  std::string file = c.file;
  const std::size_t colon = file.find(':');
  const std::string path = dir / (colon == std::string::npos ? file : file.substr(colon + 1));
  MakePicture((colon == std::string::npos ? "" : file.substr(0, colon + 1)) + path, c.options);
  const EncodeRun run = Encode(dir, path, {"-s", "40000"});
  ASSERT_EQ(run.result.status, 0) << run.result.err;
  EXPECT_LE(fs::file_size(run.output), 40000u);
  EXPECT_EQ(test::InspectStream(Bytes(run.output), 36).problem, "");
  EXPECT_GT(StreamPsnrAgainst(run.output, path, "720x576", dir), 28.0);
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, Formats,
    testing::Values(FormatCase{"JpegBaseline", "in.jpg", "-quality 90"},
                    FormatCase{"JpegProgressive", "in.jpg", "-interlace Plane"},
                    FormatCase{"JpegGreyscale", "in.jpg", "-colorspace Gray"},
                    FormatCase{"JpegCmyk", "in.jpg", "-colorspace CMYK"},
                    FormatCase{"PngRgb", "PNG24:in.png", ""}, FormatCase{"PngRgb16", "PNG48:in.png", ""},
                    FormatCase{"PngGrey", "in.png", "-colorspace Gray"},
                    FormatCase{"PngGrey16", "in.png", "-colorspace Gray -depth 16"},
                    FormatCase{"PngPalette", "PNG8:in.png", ""},
                    FormatCase{"PngAlpha", "PNG32:in.png", "-alpha set -channel A -fx 'i<200?1:0.5'"},
                    FormatCase{"Bmp24", "BMP3:in.bmp", "-type TrueColor"},
                    FormatCase{"Bmp32", "BMP:in.bmp", "-alpha set -define bmp:format=bmp4"},
                    FormatCase{"Bmp8", "BMP3:in.bmp", "-colors 200 -type Palette -compress None"},
                    FormatCase{"Bmp4", "BMP3:in.bmp", "-colors 16 -type Palette -compress None"},
                    FormatCase{"Bmp1", "BMP3:in.bmp", "-monochrome"},
                    FormatCase{"Gif", "in.gif", ""}),
    [](const testing::TestParamInfo<FormatCase>& info) { return std::string(info.param.name); });

// A BMP stored top row first (negative height) shows the same picture as the
// usual bottom-up one.
TEST(Program, ReadsBmpRowsInEitherOrder) {
  if (!HaveTools()) GTEST_SKIP() << "needs ImageMagick and FFmpeg";
  TempDirectory dir;
  MakePicture("BMP3:" + (dir / "up.bmp"), "-type TrueColor");
  const ByteBuffer bottomUp = test::ReadFileBytes(dir / "up.bmp");
  std::vector<std::uint8_t> topDown(bottomUp.begin(), bottomUp.end());
  auto read32 = [&](std::size_t at) {
    return static_cast<std::int32_t>(topDown[at] | topDown[at + 1] << 8 | topDown[at + 2] << 16 | topDown[at + 3] << 24);
  };
  const std::int32_t offset = read32(10), width = read32(18), height = read32(22);
  ASSERT_EQ(height, 300);
  const std::size_t row = static_cast<std::size_t>((24 * width + 31) / 32 * 4);
  for (std::int32_t y = 0; y < height; ++y) {
    std::copy_n(bottomUp.begin() + offset + static_cast<std::ptrdiff_t>(row) * (height - 1 - y), row,
                topDown.begin() + offset + static_cast<std::ptrdiff_t>(row) * y);
  }
  const std::uint32_t negative = static_cast<std::uint32_t>(-height);
  for (int i = 0; i < 4; ++i) topDown[22 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(negative >> (8 * i));
  test::WriteFileBytes(dir / "down.bmp", ByteView(topDown.data(), topDown.size()));

  const EncodeRun up = Encode(dir, dir / "up.bmp");
  ASSERT_EQ(up.result.status, 0);
  const std::vector<std::uint8_t> upStream = Bytes(up.output);
  const EncodeRun down = Encode(dir, dir / "down.bmp");
  ASSERT_EQ(down.result.status, 0) << down.result.err;
  EXPECT_EQ(Bytes(down.output), upStream);
  EXPECT_GT(StreamPsnrAgainst(down.output, dir / "up.bmp", "720x576", dir), 30.0);
}

// Inserts an EXIF orientation right after a JPEG's start-of-image marker.
void SetExifOrientation(const std::string& path, int orientation) {
  const ByteBuffer jpeg = test::ReadFileBytes(path);
  ASSERT_GE(jpeg.size(), 4);
  const std::vector<std::uint8_t> exif = {0xFF, 0xE1, 0x00, 0x22, 'E', 'x', 'i', 'f', 0, 0,      // APP1, 34 bytes
                                          'I', 'I', 0x2A, 0x00, 0x08, 0x00, 0x00, 0x00,          // TIFF header
                                          0x01, 0x00,                                            // one entry
                                          0x12, 0x01, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00,        // Orientation, SHORT, 1
                                          static_cast<std::uint8_t>(orientation), 0x00, 0x00, 0x00,
                                          0x00, 0x00, 0x00, 0x00};                               // no next IFD
  std::vector<std::uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
  out.insert(out.end(), exif.begin(), exif.end());
  out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
  test::WriteFileBytes(path, ByteView(out.data(), out.size()));
}

// Mean luma of the decoded frame's top and bottom halves.
std::pair<double, double> TopAndBottom(const std::string& stream) {
  const test::Decoded decoded = test::DecodeWithFfmpeg(stream, 720, 576);
  double top = 0, bottom = 0;
  const std::size_t half = decoded.planes.y.size() / 2;
  for (std::size_t i = 0; i < decoded.planes.y.size(); ++i) (i < half ? top : bottom) += decoded.planes.y[i];
  return {top / static_cast<double>(half), bottom / static_cast<double>(half)};
}

TEST(Program, TurnsAPhotoByItsExifOrientation) {
  if (!HaveTools()) GTEST_SKIP() << "needs ImageMagick and FFmpeg";
  TempDirectory dir;
  // Landscape, white left half: turned a quarter clockwise (orientation 6)
  // the white half is on top; orientation 8 puts it at the bottom.
  ASSERT_EQ(test::RunShell("convert -size 400x200 xc:white -fill black -draw 'rectangle 200,0 399,199' '" + (dir / "in.jpg") + "'"), 0);
  const EncodeRun upright = Encode(dir, dir / "in.jpg");
  ASSERT_EQ(upright.result.status, 0);
  const auto [uprightTop, uprightBottom] = TopAndBottom(upright.output);
  EXPECT_NEAR(uprightTop, uprightBottom, 5.0);

  SetExifOrientation(dir / "in.jpg", 6);
  const EncodeRun clockwise = Encode(dir, dir / "in.jpg");
  ASSERT_EQ(clockwise.result.status, 0);
  const auto [top6, bottom6] = TopAndBottom(clockwise.output);
  EXPECT_GT(top6, 200.0);
  EXPECT_LT(bottom6, 40.0);

  ASSERT_EQ(test::RunShell("convert -size 400x200 xc:white -fill black -draw 'rectangle 200,0 399,199' '" + (dir / "in.jpg") + "'"), 0);
  SetExifOrientation(dir / "in.jpg", 8);
  const EncodeRun counterClockwise = Encode(dir, dir / "in.jpg");
  ASSERT_EQ(counterClockwise.result.status, 0);
  const auto [top8, bottom8] = TopAndBottom(counterClockwise.output);
  EXPECT_LT(top8, 40.0);
  EXPECT_GT(bottom8, 200.0);
}

// Failures: their status and message, and the output path left as it was.
TEST(Program, FailsCleanlyAndLeavesTheOutputAlone) {
  if (!HaveTools()) GTEST_SKIP() << "needs ImageMagick";
  TempDirectory dir;
  MakePicture(dir / "good.jpg");
  test::WriteFileBytes(dir / "text.jpg", ByteBuffer::FromString("not a picture at all"));
  const ByteBuffer good = test::ReadFileBytes(dir / "good.jpg");
  test::WriteFileBytes(dir / "cut.jpg", ByteView(good.data(), 200));
  test::WriteFileBytes(dir / "empty.png", {});
  const ByteBuffer earlier = ByteBuffer::FromString("an earlier stream");

  struct Failure {
    std::string input;
    std::vector<std::string> options;
    int status;
    std::string message;
  };
  const std::vector<Failure> failures = {
      {dir / "missing.jpg", {}, 1, "Couldn't open " + (dir / "missing.jpg")},
      {dir / "text.jpg", {}, 1, "Couldn't open " + (dir / "text.jpg")},
      {dir / "cut.jpg", {}, 1, "Couldn't open " + (dir / "cut.jpg")},
      {dir / "empty.png", {}, 1, "Couldn't open " + (dir / "empty.png")},
      {dir.Path().string(), {}, 1, "Couldn't open " + dir.Path().string()},
      {dir / "good.jpg", {"-s", "5000"}, 2, "no stream of this picture fits 5000 bytes"},
  };
  for (const Failure& f : failures) {
    test::WriteFileBytes(dir / "out.m2v", earlier);
    const EncodeRun run = Encode(dir, f.input, f.options);
    EXPECT_EQ(run.result.status, f.status) << f.input;
    EXPECT_NE(run.result.err.find(f.message), std::string::npos) << run.result.err;
    EXPECT_EQ(test::ReadFileBytes(dir / "out.m2v"), earlier) << f.input;
  }
  const test::ProcessResult unwritable =
      test::RunProgram({Program(), "-f", dir / "good.jpg", "-o", dir / "no-such-folder/out.m2v"});
  EXPECT_EQ(unwritable.status, 1);
  EXPECT_NE(unwritable.err.find("Couldn't create output file " + (dir / "no-such-folder/out.m2v")), std::string::npos);
  // Nothing but what the test itself made is left in the folder.
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir.Path())) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"cut.jpg", "empty.png", "good.jpg", "out.m2v", "text.jpg"}));
}

// Memory that runs out (here a limit on the address space while a 4000x4000
// PNG is decoded) gives "malloc failed", status 1 and no output.
TEST(Program, ReportsMemoryThatRunsOut) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer's shadow memory does not fit a virtual memory limit";
#endif
  if (!HaveTools()) GTEST_SKIP() << "needs ImageMagick";
  TempDirectory dir;
  ASSERT_EQ(test::RunShell("convert -size 4000x4000 xc:red '" + (dir / "big.png") + "'"), 0);
  const std::string limit = "ulimit -v 30000; ";
  if (test::RunShell(limit + "'" + Program() + "' -h >/dev/null") != 255) GTEST_SKIP() << "the program does not start within the limit";
  const std::string command = limit + "'" + Program() + "' -f '" + (dir / "big.png") + "' -o '" + (dir / "out.m2v") + "' 2>'" +
                              (dir / "err.txt") + "'";
  EXPECT_EQ(test::RunShell(command), 1);
  EXPECT_NE(test::ReadFileBytes(dir / "err.txt").AsString().find("malloc failed"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir / "out.m2v"));
}

TEST(Program, ReplacesAnEarlierOutputWhole) {
  if (!HaveTools()) GTEST_SKIP() << "needs ImageMagick";
  TempDirectory dir;
  MakePicture(dir / "in.png");
  test::WriteFileBytes(dir / "out.m2v", ByteBuffer(std::vector<std::uint8_t>(100000, 0xB7)));
  const EncodeRun run = Encode(dir, dir / "in.png", {"-s", "20000"});
  ASSERT_EQ(run.result.status, 0);
  const std::vector<std::uint8_t> stream = Bytes(run.output);
  EXPECT_LE(stream.size(), 20000u);
  EXPECT_GE(stream.size(), 19600u);  // the budget is used
  EXPECT_EQ(test::InspectStream(stream, 36).problem, "");
}

// Over a sweep of budgets the program never writes a byte more than allowed.
TEST(Program, NeverExceedsTheBudget) {
  if (!HaveTools()) GTEST_SKIP() << "needs ImageMagick";
  TempDirectory dir;
  MakePicture(dir / "in.png", "-attenuate 0.3 +noise Gaussian");
  for (const char* budget : {"9500", "12345", "20000", "32703", "32704", "50001", "80000"}) {
    const EncodeRun run = Encode(dir, dir / "in.png", {"-s", budget});
    if (run.result.status == 2) continue;  // below the smallest stream
    ASSERT_EQ(run.result.status, 0) << budget << run.result.err;
    const std::vector<std::uint8_t> stream = Bytes(run.output);
    EXPECT_LE(stream.size(), static_cast<std::size_t>(std::atoi(budget)));
    EXPECT_EQ(test::InspectStream(stream, 36).problem, "") << budget;
  }
}

}  // namespace
}  // namespace bootlume
