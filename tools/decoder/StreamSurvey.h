// What the start codes of an MPEG-1/2 video elementary stream tell before it
// is decoded: where its sequence begins, the picture size it declares and
// whether its first picture holds a slice that arrived whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace bootlume::decoder {

using StreamBytes = std::span<const std::uint8_t>;

// The largest picture decoded: MPEG-2's High level, the largest a receiver shows.
inline constexpr int kMaxPictureWidth = 1920;
inline constexpr int kMaxPictureHeight = 1152;

// picture_structure: a field picture codes one field of an interlaced frame.
inline constexpr int kTopField = 1;
inline constexpr int kBottomField = 2;
inline constexpr int kFramePicture = 3;

struct StreamSurvey {
  std::optional<std::size_t> sequenceHeader;  // offset of the first whole sequence header
  int width = 0;                              // declared size, MPEG-2's size extension included
  int height = 0;
  bool mpeg2 = false;                         // a sequence extension follows the header
  int chromaFormat = 1;                       // 1 = 4:2:0, 2 = 4:2:2, 3 = 4:4:4
  bool hasPicture = false;                    // a picture start code follows the sequence header
  bool hasWholeSlice = false;                 // a slice of the first picture is followed by another start code
  int firstPictureStructure = kFramePicture;  // the first picture's picture_structure
  bool hasSecondField = false;                // a first field picture is followed by one of the other field
};

// Offset of the next start code prefix 00 00 01 at or after `from`, if any.
std::optional<std::size_t> FindStartCode(StreamBytes stream, std::size_t from);

StreamSurvey SurveyStream(StreamBytes stream);

// Whether the declared size can be decoded: 1..kMaxPictureWidth x 1..kMaxPictureHeight.
bool IsSupportedPictureSize(int width, int height);

}  // namespace bootlume::decoder
