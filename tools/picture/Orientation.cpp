#include "tools/picture/Orientation.h"

#include <cstring>
#include <optional>
#include <utility>

namespace bootlume::picture {
namespace {

// Reads TIFF integers of either byte order; nullopt past the end.
class TiffReader {
 public:
  TiffReader(ByteView bytes, bool littleEndian) : bytes_(bytes), littleEndian_(littleEndian) {}

  std::optional<std::uint32_t> U16(std::uint64_t offset) const { return Read(offset, 2); }
  std::optional<std::uint32_t> U32(std::uint64_t offset) const { return Read(offset, 4); }

 private:
  std::optional<std::uint32_t> Read(std::uint64_t offset, int length) const {
    if (offset > bytes_.size() || bytes_.size() - offset < static_cast<std::uint64_t>(length)) return std::nullopt;
    std::uint32_t value = 0;
    for (int i = 0; i < length; ++i) {
      const int index = littleEndian_ ? length - 1 - i : i;
      value = (value << 8) | bytes_[offset + static_cast<std::uint64_t>(index)];
    }
    return value;
  }

  ByteView bytes_;
  bool littleEndian_;
};

constexpr std::uint32_t kOrientationTag = 0x0112;
constexpr std::uint32_t kTypeShort = 3;
constexpr std::uint64_t kEntrySize = 12;

}  // namespace

int ExifOrientation(ByteView tiff) {
  if (tiff.size() < 8) return 1;
  bool littleEndian = false;
  if (std::memcmp(tiff.data(), "II", 2) == 0) {
    littleEndian = true;
  } else if (std::memcmp(tiff.data(), "MM", 2) != 0) {
    return 1;
  }
  const TiffReader reader(tiff, littleEndian);
  if (reader.U16(2) != 42u) return 1;
  const std::optional<std::uint32_t> directory = reader.U32(4);
  if (!directory) return 1;
  const std::optional<std::uint32_t> entries = reader.U16(*directory);
  if (!entries) return 1;
  for (std::uint64_t i = 0; i < *entries; ++i) {
    const std::uint64_t entry = *directory + 2 + i * kEntrySize;
    const std::optional<std::uint32_t> tag = reader.U16(entry);
    if (!tag) return 1;
    if (*tag != kOrientationTag) continue;
    // A SHORT value sits in the first two bytes of the entry's value field.
    const std::optional<std::uint32_t> value = reader.U16(entry + 8);
    if (reader.U16(entry + 2) != kTypeShort || reader.U32(entry + 4).value_or(0) < 1 || !value) return 1;
    return *value >= 1 && *value <= 8 ? static_cast<int>(*value) : 1;
  }
  return 1;
}

bool SwapsSides(int orientation) { return orientation >= 5 && orientation <= 8; }

RgbImage ApplyOrientation(RgbImage image, int orientation) {
  if (orientation < 2 || orientation > 8) return image;
  const int width = image.width;
  const int height = image.height;
  RgbImage turned;
  turned.width = SwapsSides(orientation) ? height : width;
  turned.height = SwapsSides(orientation) ? width : height;
  turned.pixels.resize(image.pixels.size());
  for (int y = 0; y < turned.height; ++y) {
    for (int x = 0; x < turned.width; ++x) {
      // The source pixel that lands at (x, y) of the upright picture.
      int sx = x;
      int sy = y;
      switch (orientation) {
        case 2: sx = width - 1 - x; break;                         // mirrored left-right
        case 3: sx = width - 1 - x; sy = height - 1 - y; break;    // turned half round
        case 4: sy = height - 1 - y; break;                        // mirrored top-bottom
        case 5: sx = y; sy = x; break;                             // transposed
        case 6: sx = y; sy = height - 1 - x; break;                // turned clockwise
        case 7: sx = width - 1 - y; sy = height - 1 - x; break;    // transversed
        case 8: sx = width - 1 - y; sy = x; break;                 // turned anticlockwise
      }
      const std::size_t from = (static_cast<std::size_t>(sy) * static_cast<std::size_t>(width) + static_cast<std::size_t>(sx)) * 3;
      const std::size_t to = (static_cast<std::size_t>(y) * static_cast<std::size_t>(turned.width) + static_cast<std::size_t>(x)) * 3;
      std::memcpy(&turned.pixels[to], &image.pixels[from], 3);
    }
  }
  return turned;
}

}  // namespace bootlume::picture
