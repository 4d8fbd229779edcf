#include "tools/decoder/StreamSurvey.h"

#include <cstring>

namespace bootlume::decoder {
namespace {

constexpr std::uint8_t kPictureCode = 0x00;
constexpr std::uint8_t kLastSliceCode = 0xAF;
constexpr std::uint8_t kExtensionCode = 0xB5;
constexpr std::uint8_t kSequenceHeaderCode = 0xB3;
constexpr std::uint8_t kSequenceExtensionId = 1;
constexpr std::uint8_t kPictureCodingExtensionId = 8;
// horizontal_size .. constrained_parameters_flag: the fixed part of a sequence header.
constexpr std::size_t kSequenceHeaderFixedBytes = 8;

bool IsSlice(std::uint8_t code) { return code >= 0x01 && code <= kLastSliceCode; }

// The picture_structure of the picture whose start code is at `picture`: from
// its picture coding extension, before its first slice; a frame without one.
int PictureStructureAt(StreamBytes stream, std::size_t picture) {
  for (auto code = FindStartCode(stream, picture + 3); code; code = FindStartCode(stream, *code + 3)) {
    if (*code + 7 > stream.size()) break;
    const std::uint8_t value = stream[*code + 3];
    if (value == kExtensionCode && (stream[*code + 4] >> 4) == kPictureCodingExtensionId) {
      const int structure = stream[*code + 6] & 3;
      return structure == 0 ? kFramePicture : structure;  // 0 is reserved
    }
    if (IsSlice(value) || value == kPictureCode || value == kSequenceHeaderCode) break;
  }
  return kFramePicture;
}

// The code byte after the prefix at `offset`; the prefix must be whole.
std::optional<std::uint8_t> CodeAt(StreamBytes stream, std::size_t offset) {
  if (offset + 3 >= stream.size()) return std::nullopt;
  return stream[offset + 3];
}

}  // namespace

std::optional<std::size_t> FindStartCode(StreamBytes stream, std::size_t from) {
  std::size_t at = from;
  while (at + 2 < stream.size()) {
    // A prefix ends in 01 after two zeros: look for the 01 byte, then check backwards.
    const void* one = std::memchr(stream.data() + at + 2, 0x01, stream.size() - at - 2);
    if (one == nullptr) return std::nullopt;
    const std::size_t position = static_cast<std::size_t>(static_cast<const std::uint8_t*>(one) - stream.data());
    if (stream[position - 1] == 0 && stream[position - 2] == 0) return position - 2;
    at = position - 1;
  }
  return std::nullopt;
}

StreamSurvey SurveyStream(StreamBytes stream) {
  StreamSurvey survey;
  // The first sequence header whose fixed part is all there.
  std::optional<std::size_t> code = FindStartCode(stream, 0);
  for (; code; code = FindStartCode(stream, *code + 3)) {
    if (CodeAt(stream, *code) == kSequenceHeaderCode && *code + 4 + kSequenceHeaderFixedBytes <= stream.size()) break;
  }
  if (!code) return survey;
  survey.sequenceHeader = *code;
  const std::uint8_t* header = stream.data() + *code + 4;
  survey.width = (header[0] << 4) | (header[1] >> 4);
  survey.height = ((header[1] & 0x0F) << 8) | header[2];

  // MPEG-2 puts its sequence extension right after the header; the quantiser
  // matrices in between hold no zero bytes, so the next prefix is the next code.
  code = FindStartCode(stream, *code + 4);
  if (code && CodeAt(stream, *code) == kExtensionCode && *code + 7 <= stream.size() &&
      (stream[*code + 4] >> 4) == kSequenceExtensionId) {
    const std::uint8_t* extension = stream.data() + *code + 4;
    survey.mpeg2 = true;
    survey.chromaFormat = (extension[1] >> 1) & 3;
    survey.width |= (((extension[1] & 1) << 1) | (extension[2] >> 7)) << 12;
    survey.height |= ((extension[2] >> 5) & 3) << 12;
  }

  // The first picture, and a slice of it that another start code closes.
  for (; code; code = FindStartCode(stream, *code + 3)) {
    if (CodeAt(stream, *code) == kPictureCode) break;
  }
  if (!code) return survey;
  survey.hasPicture = true;
  const std::size_t firstPicture = *code;
  if (survey.mpeg2) survey.firstPictureStructure = PictureStructureAt(stream, firstPicture);
  for (code = FindStartCode(stream, firstPicture + 3); code; code = FindStartCode(stream, *code + 3)) {
    const auto value = CodeAt(stream, *code);
    if (!value) break;
    if (IsSlice(*value)) {
      survey.hasWholeSlice = FindStartCode(stream, *code + 3).has_value();
      break;
    }
    if (*value == kPictureCode || *value == kSequenceHeaderCode) break;
  }
  // A field picture needs the other field's picture right after it.
  if (survey.firstPictureStructure != kFramePicture) {
    for (code = FindStartCode(stream, firstPicture + 3); code; code = FindStartCode(stream, *code + 3)) {
      const auto value = CodeAt(stream, *code);
      if (!value || *value == kSequenceHeaderCode) break;
      if (*value == kPictureCode) {
        survey.hasSecondField = PictureStructureAt(stream, *code) == kFramePicture - survey.firstPictureStructure;
        break;
      }
    }
  }
  return survey;
}

bool IsSupportedPictureSize(int width, int height) {
  return width >= 1 && width <= kMaxPictureWidth && height >= 1 && height <= kMaxPictureHeight;
}

}  // namespace bootlume::decoder
