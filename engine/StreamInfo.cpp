#include "engine/StreamInfo.h"

#include <array>
#include <cstdint>
#include <cstdio>

#include "platform/ByteOperations.h"

namespace bootlume {
namespace {

// Reads bits most significant first; reading past the end gives zeros and
// marks the reader exhausted.
class BitReader {
 public:
  explicit BitReader(ByteView bytes) : bytes_(bytes) {}
  std::uint32_t Read(int count) {
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i, ++position_) {
      const std::size_t byte = position_ / 8;
      const int bit = byte < bytes_.size() ? (bytes_[byte] >> (7 - position_ % 8)) & 1 : 0;
      exhausted_ = exhausted_ || byte >= bytes_.size();
      value = (value << 1) | static_cast<std::uint32_t>(bit);
    }
    return value;
  }
  void Skip(int count) { Read(count); }
  bool Exhausted() const { return exhausted_; }
  std::size_t BytePosition() const { return (position_ + 7) / 8; }

 private:
  ByteView bytes_;
  std::size_t position_ = 0;
  bool exhausted_ = false;
};

constexpr std::array<double, 9> kFrameRates{0, 24000.0 / 1001, 24, 25, 30000.0 / 1001, 30, 50, 60000.0 / 1001, 60};
constexpr std::array<const char*, 5> kDisplayAspects{"", "1:1", "4:3", "16:9", "2.21:1"};
constexpr std::array<double, 15> kPixelAspects{0,      1.0,    0.6735, 0.7031, 0.7615, 0.8055, 0.8437, 0.8935,
                                               0.9157, 0.9815, 1.0255, 1.0695, 1.0950, 1.1250, 1.1575};

std::string ProfileLevel(unsigned indication) {
  if (indication & 0x80) {
    switch (indication) {
      case 0x82:
        return "4:2:2@High";
      case 0x85:
        return "4:2:2@Main";
      case 0x8A:
        return "Multi-view@High";
      case 0x8B:
        return "Multi-view@High-1440";
      case 0x8D:
        return "Multi-view@Main";
      case 0x8E:
        return "Multi-view@Low";
    }
  } else {
    static const char* const kProfiles[8] = {nullptr, "High", "Spatially scalable", "SNR scalable", "Main", "Simple",
                                             nullptr, nullptr};
    const char* profile = kProfiles[(indication >> 4) & 7];
    const char* level = nullptr;
    switch (indication & 15) {
      case 4:
        level = "High";
        break;
      case 6:
        level = "High-1440";
        break;
      case 8:
        level = "Main";
        break;
      case 10:
        level = "Low";
        break;
    }
    if (profile != nullptr && level != nullptr) return std::string(profile) + "@" + level;
  }
  char text[16];
  std::snprintf(text, sizeof text, "0x%02X", indication);
  return text;
}

}  // namespace

StreamInfo ReadStreamInfo(ByteView stream) {
  StreamInfo info;
  if (FindBytes(stream, kSequenceHeaderCode) != 1) return info;
  BitReader header(stream.subspan(4));
  const std::uint32_t width = header.Read(12);
  const std::uint32_t height = header.Read(12);
  const std::uint32_t aspect = header.Read(4);
  const std::uint32_t frameRate = header.Read(4);
  header.Skip(18 + 1 + 10 + 1);             // bit rate, marker, VBV buffer size, constrained parameters
  if (header.Read(1)) header.Skip(64 * 8);  // intra quantiser matrix
  if (header.Read(1)) header.Skip(64 * 8);  // non-intra quantiser matrix
  if (header.Exhausted()) return info;

  info.valid = true;
  info.format = "MPEG-1";
  info.width = static_cast<int>(width);
  info.height = static_cast<int>(height);
  info.frameRate = frameRate < kFrameRates.size() ? kFrameRates[frameRate] : 0;
  info.chroma = "4:2:0";
  char pixelAspect[24] = "";
  if (aspect < kPixelAspects.size() && aspect > 0)
    std::snprintf(pixelAspect, sizeof pixelAspect, "pixel %.4f", kPixelAspects[aspect]);
  info.aspectRatio = pixelAspect;

  // MPEG-2 puts a sequence extension right behind the header.
  const ByteView rest = stream.subspan(4 + header.BytePosition());
  const std::int32_t next = FindBytes(rest, std::array<Byte, 3>{0, 0, 1});
  if (next < 1 || static_cast<std::size_t>(next) + 3 >= rest.size() || rest[next + 2] != 0xB5 ||
      (rest[next + 3] >> 4) != 1) {
    return info;
  }
  BitReader extension(rest.subspan(static_cast<std::size_t>(next) + 3));
  extension.Skip(4);  // extension identifier
  const std::uint32_t profileLevel = extension.Read(8);
  extension.Skip(1);  // progressive sequence
  const std::uint32_t chroma = extension.Read(2);
  const std::uint32_t widthExtension = extension.Read(2);
  const std::uint32_t heightExtension = extension.Read(2);
  extension.Skip(12 + 1 + 8 + 1);  // bit rate extension, marker, VBV extension, low delay
  const std::uint32_t rateNumerator = extension.Read(2);
  const std::uint32_t rateDenominator = extension.Read(5);
  if (extension.Exhausted()) return info;

  info.format = "MPEG-2";
  info.width = static_cast<int>(width | widthExtension << 12);
  info.height = static_cast<int>(height | heightExtension << 12);
  info.frameRate *= (rateNumerator + 1.0) / (rateDenominator + 1.0);
  info.aspectRatio = aspect < kDisplayAspects.size() ? kDisplayAspects[aspect] : "";
  info.profileLevel = ProfileLevel(profileLevel);
  info.chroma = chroma == 2 ? "4:2:2" : chroma == 3 ? "4:4:4" : "4:2:0";
  return info;
}

std::vector<PictureSlot> FindAllPictureSlots(ByteView image) {
  std::vector<PictureSlot> slots;
  std::int32_t from = 1;
  for (;;) {
    const std::int32_t start = FindBytes(image, kSequenceHeaderCode, from);
    if (start < 0) break;
    const std::int32_t end = FindBytes(image, kSequenceEndCode, start);
    if (end < 0) break;
    slots.push_back({start, end, end + 4 - start});
    from = end + 4;
  }
  return slots;
}

}  // namespace bootlume
