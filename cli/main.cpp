// bootlume-cli: the boot picture tools for scripts and headless machines.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/PictureSlot.h"
#include "platform/SystemServices.h"

namespace {

using namespace bootlume;

constexpr const char* kUsage =
    "usage: bootlume-cli info FIRMWARE\n"
    "  info   where the boot picture of FIRMWARE lies\n";

int Info(const char* path) {
  const ByteBuffer image = ReadWholeFile(path);
  if (image.empty()) {
    std::fprintf(stderr, "bootlume-cli: cannot read %s (missing, empty, not a regular file or 2 GiB or larger)\n",
                 path);
    return 1;
  }
  const PictureSlot slot = FindPictureSlot(image);
  std::printf("%s: %" PRId32 " bytes\n", path, image.size());
  if (!slot.IsValid()) {
    std::printf("no boot picture: %s\n", slot.start < 0 ? "no sequence header (00 00 01 B3)"
                                                        : "no sequence end code (00 00 01 B7) after the header");
    return 0;
  }
  std::printf("boot picture at offset %" PRId32 " (0x%" PRIX32 "), %" PRId32 " bytes, end code at offset %" PRId32 "\n",
              slot.start - 1, static_cast<std::uint32_t>(slot.start - 1), slot.length, slot.end - 1);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc == 3 && std::strcmp(argv[1], "info") == 0) return Info(argv[2]);
  std::fputs(kUsage, stderr);
  return 2;
}
