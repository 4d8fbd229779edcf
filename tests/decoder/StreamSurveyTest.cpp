// What the start codes of a stream tell before it is decoded.
#include <gtest/gtest.h>

#include <vector>

#include "tools/decoder/StreamSurvey.h"

namespace bootlume::decoder {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A sequence header declaring width x height (low 12 bits each), no matrices.
Bytes SequenceHeader(int width, int height) {
  return {0x00,
          0x00,
          0x01,
          0xB3,
          static_cast<std::uint8_t>(width >> 4),
          static_cast<std::uint8_t>(((width & 0x0F) << 4) | ((height >> 8) & 0x0F)),
          static_cast<std::uint8_t>(height & 0xFF),
          0x13,
          0xFF,
          0xFF,
          0xE0,
          0x18};
}

// A sequence extension with the chroma format and the size extension bits.
Bytes SequenceExtension(int chromaFormat, int widthExtension, int heightExtension) {
  return {0x00,
          0x00,
          0x01,
          0xB5,
          0x14,
          static_cast<std::uint8_t>(0x80 | (chromaFormat << 1) | (widthExtension >> 1)),
          static_cast<std::uint8_t>(((widthExtension & 1) << 7) | (heightExtension << 5) | 0x01),
          0x00,
          0x01,
          0x00};
}

const Bytes kPicture{0x00, 0x00, 0x01, 0x00, 0x00, 0x0F, 0xFF, 0xF8};
const Bytes kSlice{0x00, 0x00, 0x01, 0x01, 0x12, 0x34, 0x56};
const Bytes kEndCode{0x00, 0x00, 0x01, 0xB7};

TEST(FindStartCode, FindsEachPrefixOnce) {
  const Bytes bytes{0x00, 0x00, 0x00, 0x01, 0xB3, 0x01, 0x00, 0x01, 0x00, 0x00, 0x01};
  EXPECT_EQ(FindStartCode(bytes, 0), 1u);
  EXPECT_EQ(FindStartCode(bytes, 2), 8u);
  EXPECT_EQ(FindStartCode(bytes, 9), std::nullopt);
  EXPECT_EQ(FindStartCode(Bytes{0x00, 0x01}, 0), std::nullopt);
  EXPECT_EQ(FindStartCode(Bytes{}, 0), std::nullopt);
}

TEST(SurveyStream, Mpeg1Still) {
  const StreamSurvey survey = SurveyStream(Bytes{0xFF, 0xFF} + SequenceHeader(352, 288) + kPicture + kSlice + kEndCode);
  EXPECT_EQ(survey.sequenceHeader, 2u);
  EXPECT_EQ(survey.width, 352);
  EXPECT_EQ(survey.height, 288);
  EXPECT_FALSE(survey.mpeg2);
  EXPECT_TRUE(survey.hasPicture);
  EXPECT_TRUE(survey.hasWholeSlice);
}

TEST(SurveyStream, Mpeg2SizeExtensionAndChromaFormat) {
  const StreamSurvey survey =
      SurveyStream(SequenceHeader(720, 576) + SequenceExtension(2, 1, 2) + kPicture + kSlice + kSlice);
  EXPECT_TRUE(survey.mpeg2);
  EXPECT_EQ(survey.chromaFormat, 2);
  EXPECT_EQ(survey.width, 720 + 4096);
  EXPECT_EQ(survey.height, 576 + 2 * 4096);
  EXPECT_FALSE(IsSupportedPictureSize(survey.width, survey.height));
  EXPECT_TRUE(survey.hasWholeSlice);
}

TEST(SurveyStream, StreamCutInsideTheFirstSlice) {
  const StreamSurvey survey = SurveyStream(SequenceHeader(720, 576) + SequenceExtension(1, 0, 0) + kPicture + kSlice);
  EXPECT_TRUE(survey.hasPicture);
  EXPECT_FALSE(survey.hasWholeSlice);
}

// A picture coding extension with the given picture_structure.
Bytes PictureCodingExtension(int structure) {
  return {0x00, 0x00, 0x01, 0xB5, 0x8F, 0xFF, static_cast<std::uint8_t>(0xF0 | structure), 0x00, 0x80};
}

TEST(SurveyStream, FieldPictures) {
  const Bytes header = SequenceHeader(720, 576) + SequenceExtension(1, 0, 0);
  const Bytes top = kPicture + PictureCodingExtension(1) + kSlice;
  const Bytes bottom = kPicture + PictureCodingExtension(2) + kSlice;
  const Bytes frame = kPicture + PictureCodingExtension(3) + kSlice;

  const StreamSurvey pair = SurveyStream(header + top + bottom + kEndCode);
  EXPECT_EQ(pair.firstPictureStructure, kTopField);
  EXPECT_TRUE(pair.hasSecondField);

  const StreamSurvey alone = SurveyStream(header + bottom + kEndCode);
  EXPECT_EQ(alone.firstPictureStructure, kBottomField);
  EXPECT_FALSE(alone.hasSecondField);

  EXPECT_FALSE(SurveyStream(header + top + top + kEndCode).hasSecondField);
  EXPECT_EQ(SurveyStream(header + frame + kEndCode).firstPictureStructure, kFramePicture);
}

TEST(SurveyStream, NothingToDecode) {
  EXPECT_FALSE(SurveyStream(Bytes{0x00, 0x00, 0x01, 0xB3, 0x16}).sequenceHeader);  // header cut short
  EXPECT_FALSE(SurveyStream(kPicture + kSlice).sequenceHeader);
  EXPECT_FALSE(SurveyStream(SequenceHeader(720, 576) + kEndCode).hasPicture);
}

TEST(IsSupportedPictureSize, HighLevelBounds) {
  EXPECT_TRUE(IsSupportedPictureSize(1920, 1152));
  EXPECT_TRUE(IsSupportedPictureSize(16, 16));
  EXPECT_FALSE(IsSupportedPictureSize(1921, 1080));
  EXPECT_FALSE(IsSupportedPictureSize(1920, 1153));
  EXPECT_FALSE(IsSupportedPictureSize(0, 576));
}

}  // namespace
}  // namespace bootlume::decoder
