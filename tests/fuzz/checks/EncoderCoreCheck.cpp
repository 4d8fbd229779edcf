// The encoder core on an arbitrary small picture and budget: the picture is
// stretched to the frame, converted to 4:2:0 and encoded as the tool does.
// Input: width and height bytes (1..48), the budget (16 bits, times 4, plus
// one), a flags byte (1: NTSC; 2: one fixed quantiser, from the next byte),
// then R'G'B' bytes, repeated to fill the picture.
// Properties: the stream is never longer than the budget, nor than the VBV
// buffer; it is refused only when even the smallest stream is too long; it
// has exactly the start codes of one clean still (sequence header first,
// end code last and nowhere else) with sound headers; and it decodes with
// libavcodec, in process, without concealment to the picture the encoder
// reconstructed (the decoders' inverse DCTs may differ in the last bit).
// The fuller oracles (FFmpeg and libmpeg2 as programs) are too slow for
// fuzzing; the encoder tests use them.
#include <cmath>
#include <string>

#include "tests/fuzz/checks/FuzzChecks.h"
#include "tests/fuzz/checks/InputReader.h"
#include "tests/encoder/StreamInspector.h"
#include "tools/decoder/PictureDecoder.h"
#include "tools/decoder/StreamSurvey.h"
#include "tools/encoder/StillEncoder.h"

extern "C" {
#include <libavutil/log.h>
}

namespace bootlume::fuzz {
namespace {

constexpr std::int64_t kVbvBufferBytes = 112 * 2048;
constexpr double kMinimumPsnr = 40;

// PSNR of a decoded plane against the reconstruction's, over width x height.
double PlanePsnr(const std::uint8_t* decoded, int stride, const std::vector<std::uint8_t>& expected, int width,
                 int height) {
  double squared = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const double difference = static_cast<double>(decoded[y * stride + x]) - expected[static_cast<std::size_t>(y * width + x)];
      squared += difference * difference;
    }
  }
  if (squared == 0) return INFINITY;
  return 10 * std::log10(255.0 * 255.0 * width * height / squared);
}

}  // namespace

CheckResult CheckEncoderCore(ByteView input) {
  av_log_set_level(AV_LOG_QUIET);
  InputReader reader(input);
  picture::RgbImage source;
  source.width = 1 + reader.Byte() % 48;
  source.height = 1 + reader.Byte() % 48;
  const std::int64_t budget = 1 + std::int64_t{reader.Uint16()} * 4;
  const std::uint8_t flags = reader.Byte();
  encoder::EncoderTuning tuning;
  if (flags & 2) tuning.quantiserScaleCode = 1 + reader.Byte() % 31;
  const encoder::TvSystem system = (flags & 1) ? encoder::TvSystem::kNtsc : encoder::TvSystem::kPal;
  const ByteView colours = reader.Rest();
  source.pixels.resize(static_cast<std::size_t>(source.width) * source.height * 3, 128);
  for (std::size_t i = 0; i < source.pixels.size() && !colours.empty(); ++i) {
    source.pixels[i] = colours[i % colours.size()];
  }

  const encoder::SequenceFormat format = encoder::FormatOf(system);
  const picture::Planes420 frame = picture::ToPlanes420(picture::ResizeRgb(source, format.width, format.height));
  const encoder::EncodeResult result = encoder::EncodeStill(frame, system, budget, tuning);
  const std::string budgetText = std::to_string(budget) + "-byte budget";
  if (result.status == encoder::EncodeStatus::kDoesNotFit) {
    if (result.smallestBytes <= budget) {
      return CheckResult::Fail("refused although its smallest stream of " + std::to_string(result.smallestBytes) +
                               " bytes fits the " + budgetText);
    }
    return result.stream.empty() ? CheckResult::Pass() : CheckResult::Fail("a refusal came with a stream");
  }
  if (result.status != encoder::EncodeStatus::kOk) return CheckResult::Fail("the frame was not accepted");

  const std::vector<std::uint8_t>& stream = result.stream;
  const std::int64_t length = static_cast<std::int64_t>(stream.size());
  if (length > budget) return CheckResult::Fail(std::to_string(length) + " bytes for a " + budgetText);
  if (length > kVbvBufferBytes) return CheckResult::Fail(std::to_string(length) + " bytes overflow the VBV buffer");
  const test::StreamHeaders headers = test::InspectStream(stream, format.height / 16);
  if (!headers.problem.empty() || !headers.markersValid) {
    return CheckResult::Fail("the stream is malformed: " + (headers.problem.empty() ? "a marker bit" : headers.problem));
  }
  if (headers.width != format.width || headers.height != format.height) {
    return CheckResult::Fail("the sequence header gives the wrong size");
  }

  // Decoding it, in process.
  const decoder::StreamBytes bytes(stream.data(), stream.size());
  const decoder::StreamSurvey survey = decoder::SurveyStream(bytes);
  const decoder::DecodedPicture decoded = decoder::DecodeFirstPicture(bytes, survey);
  if (!decoded.frame) return CheckResult::Fail("libavcodec decodes no picture: " + decoded.failure);
  if (decoded.concealed || decoded.singleField) return CheckResult::Fail("libavcodec had to conceal damage");
  const AVFrame& picture = *decoded.frame;
  if (picture.width != format.width || picture.height != format.height) {
    return CheckResult::Fail("libavcodec decodes a picture of the wrong size");
  }
  const picture::Planes420& expected = result.reconstruction;
  const double psnr[3] = {
      PlanePsnr(picture.data[0], picture.linesize[0], expected.y, format.width, format.height),
      PlanePsnr(picture.data[1], picture.linesize[1], expected.cb, format.width / 2, format.height / 2),
      PlanePsnr(picture.data[2], picture.linesize[2], expected.cr, format.width / 2, format.height / 2),
  };
  for (int plane = 0; plane < 3; ++plane) {
    if (psnr[plane] < kMinimumPsnr) {
      return CheckResult::Fail("libavcodec's picture differs from the encoder's reconstruction in plane " +
                               std::to_string(plane) + ": " + std::to_string(psnr[plane]) + " dB");
    }
  }
  return CheckResult::Pass();
}

}  // namespace bootlume::fuzz
