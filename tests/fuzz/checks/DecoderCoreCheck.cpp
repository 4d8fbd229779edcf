// The decoder tool's conversion on an arbitrary stream, in memory: survey,
// first-picture decoding, scaling to 720x480 and JPEG coding, the steps the
// tool takes between reading its input and writing its output.
// Properties: either a clean failure with a reason, or a picture within the
// supported size that becomes a whole 720x480 RGB picture and a JPEG file
// (SOI first, EOI last, a frame header of 720x480). Time and memory are
// bounded by the fuzzer's limits (-timeout, -rss_limit_mb).
#include <string>

#include "tests/fuzz/checks/FuzzChecks.h"
#include "tools/decoder/JpegWriter.h"
#include "tools/decoder/PictureDecoder.h"
#include "tools/decoder/PictureScaler.h"
#include "tools/decoder/StreamSurvey.h"

extern "C" {
#include <libavutil/log.h>
}

namespace bootlume::fuzz {
namespace {

constexpr int kOutputWidth = 720;
constexpr int kOutputHeight = 480;

// The size in the first frame header (SOFn) of a JPEG file, or {0, 0}.
std::pair<int, int> JpegFrameSize(ByteView jpeg) {
  std::size_t at = 2;
  while (at + 9 < jpeg.size() && jpeg[at] == 0xFF) {
    const Byte marker = jpeg[at + 1];
    const std::size_t length = (jpeg[at + 2] << 8) | jpeg[at + 3];
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
      return {(jpeg[at + 7] << 8) | jpeg[at + 8], (jpeg[at + 5] << 8) | jpeg[at + 6]};
    }
    at += 2 + length;
  }
  return {0, 0};
}

}  // namespace

CheckResult CheckDecoderCore(ByteView input) {
  av_log_set_level(AV_LOG_QUIET);
  const decoder::StreamBytes stream(input.data(), input.size());
  const decoder::StreamSurvey survey = decoder::SurveyStream(stream);
  if (!survey.sequenceHeader || !decoder::IsSupportedPictureSize(survey.width, survey.height) ||
      !survey.hasPicture) {
    return CheckResult::Pass();  // refused before decoding, as the tool does
  }
  const decoder::DecodedPicture decoded = decoder::DecodeFirstPicture(stream, survey);
  if (!decoded.frame) {
    return decoded.failure.empty() ? CheckResult::Fail("no picture and no reason") : CheckResult::Pass();
  }
  const AVFrame& frame = *decoded.frame;
  if (!decoder::IsSupportedPictureSize(frame.width, frame.height)) {
    return CheckResult::Fail("a picture of " + std::to_string(frame.width) + "x" + std::to_string(frame.height) +
                             " came out, beyond the supported size");
  }
  const std::optional<decoder::RgbPicture> rgb =
      decoder::ScaleToRgb(frame, decoded.mpeg2, kOutputWidth, kOutputHeight);
  if (!rgb) return CheckResult::Pass();  // the tool fails with a reason
  if (rgb->width != kOutputWidth || rgb->height != kOutputHeight || rgb->stride < kOutputWidth * 3 ||
      rgb->pixels.size() < static_cast<std::size_t>(rgb->stride) * kOutputHeight) {
    return CheckResult::Fail("the scaled picture is not a whole 720x480 RGB picture");
  }
  const decoder::JpegResult jpeg = decoder::EncodeJpeg(*rgb);
  if (jpeg.bytes.empty()) {
    return jpeg.failure.empty() ? CheckResult::Fail("no JPEG and no reason") : CheckResult::Pass();
  }
  const std::int32_t size = jpeg.bytes.size();
  if (size < 4 || jpeg.bytes[0] != 0xFF || jpeg.bytes[1] != 0xD8 || jpeg.bytes[size - 2] != 0xFF ||
      jpeg.bytes[size - 1] != 0xD9) {
    return CheckResult::Fail("the JPEG file is not framed by SOI and EOI");
  }
  if (JpegFrameSize(jpeg.bytes) != std::pair{kOutputWidth, kOutputHeight}) {
    return CheckResult::Fail("the JPEG file's frame header is not 720x480");
  }
  return CheckResult::Pass();
}

}  // namespace bootlume::fuzz
