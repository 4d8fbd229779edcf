// BMP through stb_image. stb reads zeros past the end of its input instead of
// failing, so a cut-off file is refused here from its header's own sizes.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>

#include "tools/picture/Compositing.h"
#include "tools/picture/Decoders.h"
#include "tools/picture/StbImageBmp.h"

namespace bootlume::picture {
namespace {

std::uint32_t Little(ByteView file, std::size_t offset, int length) {
  std::uint32_t value = 0;
  for (int i = length - 1; i >= 0; --i) value = (value << 8) | file[offset + static_cast<std::size_t>(i)];
  return value;
}

// The header fields that say how much pixel data there is.
struct BmpHeader {
  std::uint64_t dataOffset = 0;
  std::int64_t width = 0;
  std::int64_t height = 0;  // negative: rows top-down
  std::uint32_t bitsPerPixel = 0;
  std::uint32_t compression = 0;
};

constexpr std::uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6;

std::optional<BmpHeader> ReadHeader(ByteView file) {
  constexpr std::size_t kFileHeader = 14;
  if (file.size() < kFileHeader + 12) return std::nullopt;
  BmpHeader header;
  header.dataOffset = Little(file, 10, 4);
  const std::uint32_t headerSize = Little(file, 14, 4);
  if (headerSize == 12) {  // OS/2 core header
    header.width = Little(file, 18, 2);
    header.height = Little(file, 20, 2);
    header.bitsPerPixel = Little(file, 24, 2);
  } else {
    if (headerSize < 40 || file.size() < kFileHeader + 40) return std::nullopt;
    header.width = static_cast<std::int32_t>(Little(file, 18, 4));
    header.height = static_cast<std::int32_t>(Little(file, 22, 4));
    header.bitsPerPixel = Little(file, 28, 2);
    header.compression = Little(file, 30, 4);
  }
  return header;
}

// The layouts stb reads: plain rows, with or without bit masks. stb keeps the
// compression field in an int, so values from 2^31 up would pass its own
// check as uncompressed and a few header bytes would become a huge picture.
bool IsUncompressed(const BmpHeader& header) {
  return header.compression == kRgb || header.compression == kBitFields || header.compression == kAlphaBitFields;
}

// Whether the file holds all the rows its header announces (uncompressed).
bool HoldsAllRows(const BmpHeader& header, std::size_t fileSize) {
  if (header.width <= 0 || header.bitsPerPixel == 0 || header.bitsPerPixel > 32) return false;
  const std::uint64_t rowBytes = (static_cast<std::uint64_t>(header.width) * header.bitsPerPixel + 31) / 32 * 4;
  const std::uint64_t rows = static_cast<std::uint64_t>(header.height < 0 ? -header.height : header.height);
  return header.dataOffset + rowBytes * rows <= fileSize;
}

struct StbFree {
  void operator()(stbi_uc* pixels) const { stbi_image_free(pixels); }
};

}  // namespace

ReadResult DecodeBmp(ByteView file) {
  if (file.size() > static_cast<std::size_t>(INT32_MAX)) return CannotOpen("BMP file too large");
  const auto* data = reinterpret_cast<const stbi_uc*>(file.data());
  const int length = static_cast<int>(file.size());
  int width = 0;
  int height = 0;
  int channels = 0;
  const std::optional<BmpHeader> header = ReadHeader(file);
  if (!header) return CannotOpen("damaged BMP: the header is cut short");
  if (header->compression == kRle8 || header->compression == kRle4) {
    return CannotOpen("run-length-encoded (RLE) BMP is not supported");
  }
  if (!IsUncompressed(*header)) {
    return CannotOpen("BMP with compression " + std::to_string(header->compression) + " is not supported");
  }
  if (!stbi_info_from_memory(data, length, &width, &height, &channels)) {
    return CannotOpen(std::string("not a readable BMP: ") + stbi_failure_reason());
  }
  height = std::abs(height);  // stb's header query keeps a top-down picture's negative height
  if (!IsAcceptableSize(width, height)) {
    return CannotOpen("BMP of " + std::to_string(width) + "x" + std::to_string(height) + " pixels is too large");
  }
  if (!HoldsAllRows(*header, file.size())) return CannotOpen("damaged BMP: the file ends before the picture is complete");
  const std::unique_ptr<stbi_uc, StbFree> decoded(stbi_load_from_memory(data, length, &width, &height, &channels, 0));
  if (!decoded) {
    if (std::strcmp(stbi_failure_reason(), "outofmem") == 0) throw std::bad_alloc();
    return CannotOpen(std::string("damaged BMP: ") + stbi_failure_reason());
  }
  if (channels != 3 && channels != 4) return CannotOpen("BMP in an unexpected layout");
  RgbImage image;
  image.width = width;
  image.height = height;
  const std::size_t pixelCount = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  image.pixels.resize(pixelCount * 3);
  if (channels == 4) {
    CompositeOverBlack(decoded.get(), pixelCount, image.pixels.data());
  } else {
    std::memcpy(image.pixels.data(), decoded.get(), pixelCount * 3);
  }
  return {ReadStatus::kOk, std::move(image), {}};
}

}  // namespace bootlume::picture
