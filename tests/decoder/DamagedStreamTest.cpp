// Damaged streams never crash or hang the decoder: each mutation of a real
// still either decodes to a picture within the size limits or fails cleanly.
#include <gtest/gtest.h>

#include "tests/support/TestSupport.h"
#include "tools/decoder/PictureDecoder.h"
#include "tools/decoder/PictureScaler.h"
#include "tools/decoder/StreamSurvey.h"

namespace bootlume::decoder {
namespace {

class Random {
 public:
  explicit Random(std::uint32_t seed) : state_(seed) {}
  std::uint32_t Below(std::uint32_t bound) {
    state_ = state_ * 1664525u + 1013904223u;
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(state_ >> 8) * bound) >> 24);
  }

 private:
  std::uint32_t state_;
};

std::vector<std::uint8_t> Mutate(const std::vector<std::uint8_t>& original, Random& random) {
  std::vector<std::uint8_t> bytes = original;
  const auto size = static_cast<std::uint32_t>(bytes.size());
  switch (random.Below(4)) {
    case 0:  // a few damaged bytes, often in the headers
      for (std::uint32_t n = 1 + random.Below(8); n > 0; --n) {
        const std::uint32_t at = random.Below(2) ? random.Below(64) : random.Below(size);
        bytes[at] = static_cast<std::uint8_t>(random.Below(256));
      }
      break;
    case 1:  // cut anywhere
      bytes.resize(random.Below(size));
      break;
    case 2: {  // a run of one byte value, as a flash fill leaves
      const std::uint32_t at = random.Below(size);
      const std::uint32_t length = std::min(size - at, 1 + random.Below(4096));
      std::fill_n(bytes.begin() + at, length, random.Below(2) ? 0x00 : 0xFF);
      break;
    }
    default: {  // a piece of the stream repeated elsewhere (start codes in odd places)
      const std::uint32_t from = random.Below(size);
      const std::uint32_t length = std::min(size - from, 1 + random.Below(2048));
      const std::vector<std::uint8_t> piece(bytes.begin() + from, bytes.begin() + from + length);
      bytes.insert(bytes.begin() + random.Below(size), piece.begin(), piece.end());
      break;
    }
  }
  return bytes;
}

class DamagedSample : public testing::TestWithParam<const char*> {};

TEST_P(DamagedSample, DecodesOrFailsCleanly) {
  const ByteBuffer sample = test::ReadFileBytes(test::SharedDir() + "/samples/" + GetParam());
  ASSERT_FALSE(sample.empty());
  const std::vector<std::uint8_t> original(sample.begin(), sample.end());
  Random random(2024);
  int pictures = 0;
  for (int round = 0; round < 60; ++round) {
    const std::vector<std::uint8_t> bytes = Mutate(original, random);
    const StreamSurvey survey = SurveyStream(bytes);
    if (!survey.sequenceHeader || !IsSupportedPictureSize(survey.width, survey.height) || !survey.hasPicture) continue;
    const DecodedPicture decoded = DecodeFirstPicture(bytes, survey);
    if (!decoded.frame) {
      EXPECT_FALSE(decoded.failure.empty());
      continue;
    }
    ++pictures;
    EXPECT_LE(decoded.frame->width, kMaxPictureWidth);
    EXPECT_LE(decoded.frame->height, kMaxPictureHeight);
    const auto rgb = ScaleToRgb(*decoded.frame, decoded.mpeg2, 64, 48);
    ASSERT_TRUE(rgb);
  }
  // Most damage leaves a picture to show.
  EXPECT_GT(pictures, 20);
}

INSTANTIATE_TEST_SUITE_P(Samples, DamagedSample, testing::Values("black.mvi", "radio.mvi"),
                         [](const auto& info) { return std::string(info.param).substr(0, 5); });

}  // namespace
}  // namespace bootlume::decoder
