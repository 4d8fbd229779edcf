#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/encoder/EncoderTestSupport.h"
#include "tests/encoder/StreamInspector.h"
#include "tests/support/TestSupport.h"
#include "tools/encoder/StillEncoder.h"

namespace bootlume {
namespace {

using encoder::EncodeResult;
using encoder::EncodeStatus;
using encoder::EncoderTuning;
using encoder::TvSystem;
using test::Synthetic;

int FrameHeight(TvSystem system) { return system == TvSystem::kPal ? 576 : 480; }

EncodeResult Encode(Synthetic kind, TvSystem system, std::int64_t budget, const EncoderTuning& tuning = {}) {
  return encoder::EncodeStill(test::MakeFrame(kind, 720, FrameHeight(system)), system, budget, tuning);
}

// One stream the decoders must take: a picture, a system, a budget and the
// coding choices it forces (the defaults choose by cost).
struct ConformanceCase {
  const char* name;
  Synthetic picture;
  TvSystem system;
  std::int64_t budget;
  EncoderTuning tuning;
};

EncoderTuning Tuned(int vlc, int dc, int code, EncoderTuning::Dct dct, bool nonLinear = true) {
  EncoderTuning t;
  t.intraVlcFormat = vlc;
  t.intraDcPrecision = dc;
  t.quantiserScaleCode = code;
  t.dct = dct;
  t.nonLinearScale = nonLinear;
  return t;
}

EncoderTuning AlternateScan(EncoderTuning t) {
  t.alternateScan = true;
  return t;
}

using Dct = EncoderTuning::Dct;
const ConformanceCase kCases[] = {
    {"FlatGreyPal", Synthetic::kFlatGrey, TvSystem::kPal, 32704, {}},
    {"BlackNtsc", Synthetic::kBlack, TvSystem::kNtsc, 32704, {}},
    {"WhitePalTight", Synthetic::kWhite, TvSystem::kPal, 16384, {}},
    {"GradientsPal", Synthetic::kGradients, TvSystem::kPal, 65536, {}},
    {"GradientsNtscFinest", Synthetic::kGradients, TvSystem::kNtsc, 229376, Tuned(1, 2, 1, Dct::kChoose)},
    {"GradientsFieldTableZero", Synthetic::kGradients, TvSystem::kPal, 40000, Tuned(0, 0, 0, Dct::kField)},
    {"CheckerboardPal", Synthetic::kCheckerboard, TvSystem::kPal, 32704, {}},
    {"CheckerboardGenerous", Synthetic::kCheckerboard, TvSystem::kPal, 4000000, {}},
    {"NoiseFinestEscapes", Synthetic::kNoise, TvSystem::kNtsc, 229376, Tuned(1, 1, 3, Dct::kFrame)},
    {"NoiseTight", Synthetic::kNoise, TvSystem::kPal, 22000, {}},
    {"NoiseLinearScale", Synthetic::kNoise, TvSystem::kNtsc, 65536, Tuned(0, 1, 0, Dct::kChoose, false)},
    {"FineTextPal", Synthetic::kFineText, TvSystem::kPal, 32704, {}},
    {"FineTextNtscField", Synthetic::kFineText, TvSystem::kNtsc, 50000, Tuned(1, 2, 0, Dct::kField)},
    {"PhotoLikeDefault", Synthetic::kPhotoLike, TvSystem::kPal, 32704, {}},
    {"PhotoLikeTableZeroField", Synthetic::kPhotoLike, TvSystem::kPal, 65536, Tuned(0, 1, 0, Dct::kField)},
    {"PhotoLikeAlternateScan", Synthetic::kPhotoLike, TvSystem::kNtsc, 32704, AlternateScan(Tuned(1, 0, 0, Dct::kChoose))},
    {"FineTextAlternateScanTableZero", Synthetic::kFineText, TvSystem::kPal, 90000, AlternateScan(Tuned(0, 2, 0, Dct::kField))},
};

void PrintTo(const ConformanceCase& c, std::ostream* out) { *out << c.name; }

class Conformance : public testing::TestWithParam<ConformanceCase> {};

// Each stream is clean for a strict reader and both decoders show exactly our
// reconstruction, up to the rounding of their inverse DCTs.
TEST_P(Conformance, BothDecodersShowOurReconstruction) {
  const ConformanceCase& c = GetParam();
  const EncodeResult result = Encode(c.picture, c.system, c.budget, c.tuning);
  ASSERT_EQ(result.status, EncodeStatus::kOk);
  ASSERT_LE(static_cast<std::int64_t>(result.stream.size()), c.budget);
  const int height = FrameHeight(c.system);
  const test::StreamHeaders headers = test::InspectStream(result.stream, height / 16);
  EXPECT_EQ(headers.problem, "");
  EXPECT_TRUE(headers.markersValid);
  for (int code : headers.sliceQuantiserCodes) EXPECT_NE(code, 0);
  if (c.tuning.intraVlcFormat >= 0) {
    EXPECT_EQ(headers.intraVlcFormat, c.tuning.intraVlcFormat);
  }
  if (c.tuning.intraDcPrecision >= 0) {
    EXPECT_EQ(headers.intraDcPrecision, c.tuning.intraDcPrecision);
  }
  if (c.tuning.dct == Dct::kField) {
    EXPECT_EQ(headers.framePredFrameDct, 0);
  }
  EXPECT_EQ(headers.qScaleType, c.tuning.nonLinearScale ? 1 : 0);
  EXPECT_EQ(headers.alternateScan, c.tuning.alternateScan ? 1 : 0);

  test::TempDirectory dir;
  const std::string path = dir / "still.m2v";
  test::WriteFileBytes(path, ByteView(result.stream.data(), result.stream.size()));
  if (test::HaveProgram("ffmpeg")) {
    const test::Decoded ffmpeg = test::DecodeWithFfmpeg(path, 720, height);
    ASSERT_TRUE(ffmpeg.ok) << ffmpeg.messages;
    EXPECT_EQ(ffmpeg.messages, "");
    EXPECT_GE(test::WorstPlanePsnr(ffmpeg.planes, result.reconstruction), 50.0);
  }
  if (test::HaveProgram("mpeg2dec")) {
    const test::Decoded libmpeg2 = test::DecodeWithLibmpeg2(path, 720, height);
    ASSERT_TRUE(libmpeg2.ok) << libmpeg2.messages;
    EXPECT_GE(test::WorstPlanePsnr(libmpeg2.planes, result.reconstruction), 50.0);
  }
  if (!test::HaveProgram("ffmpeg") || !test::HaveProgram("mpeg2dec")) GTEST_SKIP() << "a decoder is missing";
}

INSTANTIATE_TEST_SUITE_P(Streams, Conformance, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<ConformanceCase>& info) { return std::string(info.param.name); });

struct HeaderCase {
  TvSystem system;
  int height, frameRateCode, videoFormat, colour;
};

void PrintTo(const HeaderCase& c, std::ostream* out) { *out << (c.system == TvSystem::kPal ? "PAL" : "NTSC"); }

class Headers : public testing::TestWithParam<HeaderCase> {};

TEST_P(Headers, CarryTheFieldsOfAMainProfileStill) {
  const HeaderCase& c = GetParam();
  const EncodeResult result = Encode(Synthetic::kPhotoLike, c.system, 32704);
  ASSERT_EQ(result.status, EncodeStatus::kOk);
  const test::StreamHeaders h = test::InspectStream(result.stream, c.height / 16);
  ASSERT_EQ(h.problem, "");
  EXPECT_TRUE(h.markersValid);
  EXPECT_EQ(h.width, 720);
  EXPECT_EQ(h.height, c.height);
  EXPECT_EQ(h.aspectRatio, 2);
  EXPECT_EQ(h.frameRateCode, c.frameRateCode);
  // At most Main level's 15 Mbit/s, in units of 400 bit/s.
  EXPECT_GT(h.bitRateValue, 0);
  EXPECT_LE(h.bitRateValue + (h.bitRateExtension << 18), 15000000 / 400);
  EXPECT_EQ(h.vbvBufferSize, 112);
  EXPECT_EQ(h.vbvBufferSizeExtension, 0);
  EXPECT_EQ(h.constrainedParameters, 0);
  EXPECT_EQ(h.loadIntraMatrix, 0);
  EXPECT_EQ(h.loadNonIntraMatrix, 0);
  EXPECT_EQ(h.profileAndLevel, 0x48);
  EXPECT_EQ(h.progressiveSequence, 0);
  EXPECT_EQ(h.chromaFormat, 1);
  EXPECT_EQ(h.sizeExtensions, 0);
  EXPECT_EQ(h.frameRateExtensions, 0);
  EXPECT_EQ(h.videoFormat, c.videoFormat);
  EXPECT_EQ(h.colourDescription, 1);
  EXPECT_EQ(h.colourPrimaries, c.colour);
  EXPECT_EQ(h.transferCharacteristics, c.colour);
  EXPECT_EQ(h.matrixCoefficients, c.colour);
  EXPECT_EQ(h.displayWidth, 720);
  EXPECT_EQ(h.displayHeight, c.height);
  EXPECT_EQ(h.timeCode, 0);
  EXPECT_EQ(h.closedGop, 1);
  EXPECT_EQ(h.brokenLink, 0);
  EXPECT_EQ(h.temporalReference, 0);
  EXPECT_EQ(h.pictureCodingType, 1);
  EXPECT_EQ(h.vbvDelay, 0xffff);
  EXPECT_EQ(h.fCodes, 0xffff);
  EXPECT_EQ(h.pictureStructure, 3);
  EXPECT_EQ(h.concealmentVectors, 0);
  EXPECT_EQ(h.alternateScan, 0);
  EXPECT_EQ(h.repeatFirstField, 0);
  EXPECT_EQ(h.progressiveFrame, 0);
  EXPECT_EQ(h.chroma420Type, 0);
  EXPECT_EQ(h.compositeDisplay, 0);
  EXPECT_LE(h.intraDcPrecision, 2);  // 8..10 bits: Main profile
}

INSTANTIATE_TEST_SUITE_P(Systems, Headers,
                         testing::Values(HeaderCase{TvSystem::kPal, 576, 3, 1, 5}, HeaderCase{TvSystem::kNtsc, 480, 5, 2, 6}));

// Over a sweep of budgets: never over, nearly all of it used until the best
// stream is reached, and a budget below the smallest stream is refused.
TEST(Budget, IsNeverExceededAndIsFilled) {
  const picture::Planes420 frame = test::MakeFrame(Synthetic::kPhotoLike, 720, 576);
  const EncodeResult smallestProbe = encoder::EncodeStill(frame, TvSystem::kPal, 1);
  ASSERT_EQ(smallestProbe.status, EncodeStatus::kDoesNotFit);
  const std::int64_t smallest = smallestProbe.smallestBytes;
  ASSERT_GT(smallest, 1000);
  const EncodeResult atSmallest = encoder::EncodeStill(frame, TvSystem::kPal, smallest);
  ASSERT_EQ(atSmallest.status, EncodeStatus::kOk);
  EXPECT_EQ(static_cast<std::int64_t>(atSmallest.stream.size()), smallest);
  EXPECT_EQ(encoder::EncodeStill(frame, TvSystem::kPal, smallest - 1).status, EncodeStatus::kDoesNotFit);

  double previousPsnr = 0;
  for (std::int64_t budget : {smallest + 1, smallest + 517, std::int64_t{16384}, std::int64_t{24001}, std::int64_t{32704},
                              std::int64_t{49999}, std::int64_t{65536}, std::int64_t{100000}, std::int64_t{150001}}) {
    const EncodeResult result = encoder::EncodeStill(frame, TvSystem::kPal, budget);
    ASSERT_EQ(result.status, EncodeStatus::kOk) << budget;
    const auto size = static_cast<std::int64_t>(result.stream.size());
    EXPECT_LE(size, budget);
    EXPECT_GE(size, budget - std::max<std::int64_t>(budget / 50, 40)) << "budget " << budget;
    const double psnr = test::WorstPlanePsnr(result.reconstruction, frame);
    EXPECT_GT(psnr, previousPsnr) << "budget " << budget;
    previousPsnr = psnr;
    EXPECT_EQ(test::InspectStream(result.stream, 36).problem, "");
  }
}

TEST(Budget, FarAboveTheBestStreamGivesTheBestStream) {
  const picture::Planes420 frame = test::MakeFrame(Synthetic::kGradients, 720, 576);
  const EncodeResult generous = encoder::EncodeStill(frame, TvSystem::kPal, 2000000);
  const EncodeResult moreGenerous = encoder::EncodeStill(frame, TvSystem::kPal, 2000000000);
  ASSERT_EQ(generous.status, EncodeStatus::kOk);
  EXPECT_EQ(generous.stream, moreGenerous.stream);
  EXPECT_LT(generous.stream.size(), static_cast<std::size_t>(encoder::kVbvBufferBytes) / 2);
  EXPECT_EQ(generous.meanQuantiserScale, 1.0);
  EXPECT_GE(test::WorstPlanePsnr(generous.reconstruction, frame), 45.0);
}

TEST(Budget, APictureLargerThanTheDecoderBufferIsCappedToIt) {
  const EncodeResult noise = Encode(Synthetic::kNoise, TvSystem::kPal, 4000000);
  ASSERT_EQ(noise.status, EncodeStatus::kOk);
  EXPECT_LE(noise.stream.size(), static_cast<std::size_t>(encoder::kVbvBufferBytes));
  EXPECT_GE(noise.stream.size(), static_cast<std::size_t>(encoder::kVbvBufferBytes) * 98 / 100);
}

TEST(Frame, OfTheWrongSizeIsRefused) {
  EXPECT_EQ(encoder::EncodeStill(test::MakeFrame(Synthetic::kFlatGrey, 720, 480), TvSystem::kPal, 32704).status,
            EncodeStatus::kBadFrameSize);
  picture::Planes420 truncated = test::MakeFrame(Synthetic::kFlatGrey, 720, 576);
  truncated.cr.pop_back();
  EXPECT_EQ(encoder::EncodeStill(truncated, TvSystem::kPal, 32704).status, EncodeStatus::kBadFrameSize);
}

}  // namespace
}  // namespace bootlume
