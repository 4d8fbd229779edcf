#include <cstdio>
#include <string>

#include "cli/Commands.h"
#include "engine/StreamInfo.h"
#include "platform/SystemServices.h"

namespace bootlume::cli {
namespace {

std::string JsonString(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      quoted += escaped;
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

std::string FrameRateText(double rate) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", rate);
  std::string trimmed = text;
  while (trimmed.back() == '0') trimmed.pop_back();
  if (trimmed.back() == '.') trimmed.pop_back();
  return trimmed;
}

void PrintJson(const std::vector<PictureSlot>& slots, const StreamInfo& stream) {
  std::printf("{\n  \"valid\": %s,\n", slots.empty() ? "false" : "true");
  if (slots.empty()) {
    std::printf("  \"slot\": null,\n  \"stream\": null,\n");
  } else {
    const PictureSlot& boot = slots.front();
    std::printf("  \"slot\": {\"offset\": %d, \"length\": %d, \"end_code_offset\": %d},\n", boot.start - 1, boot.length,
                boot.end - 1);
    if (stream.valid) {
      std::printf(
          "  \"stream\": {\"format\": %s, \"width\": %d, \"height\": %d, \"frame_rate\": %s, \"aspect_ratio\": %s, "
          "\"profile_level\": %s, \"chroma\": %s},\n",
          JsonString(stream.format).c_str(), stream.width, stream.height, FrameRateText(stream.frameRate).c_str(),
          JsonString(stream.aspectRatio).c_str(),
          stream.profileLevel.empty() ? "null" : JsonString(stream.profileLevel).c_str(),
          JsonString(stream.chroma).c_str());
    } else {
      std::printf("  \"stream\": null,\n");
    }
  }
  std::printf("  \"slots\": [");
  for (std::size_t i = 0; i < slots.size(); ++i) {
    std::printf("%s{\"offset\": %d, \"length\": %d}", i == 0 ? "" : ", ", slots[i].start - 1, slots[i].length);
  }
  std::printf("]\n}\n");
}

void PrintText(const std::string& path, std::int32_t size, const std::vector<PictureSlot>& slots,
               const StreamInfo& stream) {
  std::printf("%s: %d bytes\n", path.c_str(), size);
  if (slots.empty()) {
    std::printf("no boot picture: no sequence header (00 00 01 B3) followed by a sequence end code (00 00 01 B7)\n");
    return;
  }
  const PictureSlot& boot = slots.front();
  std::printf("boot picture: offset %d (0x%X), %d bytes, end code at offset %d\n", boot.start - 1,
              static_cast<unsigned>(boot.start - 1), boot.length, boot.end - 1);
  if (stream.valid) {
    std::printf("  %s, %dx%d, %s frames/s, aspect %s%s%s, chroma %s\n", stream.format.c_str(), stream.width,
                stream.height, FrameRateText(stream.frameRate).c_str(), stream.aspectRatio.c_str(),
                stream.profileLevel.empty() ? "" : ", ", stream.profileLevel.c_str(), stream.chroma.c_str());
  } else {
    std::printf("  its sequence header is damaged\n");
  }
  for (std::size_t i = 1; i < slots.size(); ++i) {
    std::printf("still %zu: offset %d (0x%X), %d bytes\n", i + 1, slots[i].start - 1,
                static_cast<unsigned>(slots[i].start - 1), slots[i].length);
  }
}

}  // namespace

int RunInfo(const CliOptions& options) {
  const ByteBuffer image = ReadWholeFile(Text(options.firmware));
  if (image.empty())
    return Fail("cannot read " + options.firmware + " (missing, empty, not a regular file or 2 GiB or larger)");
  const std::vector<PictureSlot> slots = FindAllPictureSlots(image);
  const StreamInfo stream = slots.empty() ? StreamInfo() : ReadStreamInfo(ExtractPictureStream(image, slots.front()));
  if (options.json) {
    PrintJson(slots, stream);
  } else {
    PrintText(options.firmware, image.size(), slots, stream);
  }
  return 0;
}

}  // namespace bootlume::cli
