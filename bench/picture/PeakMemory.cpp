// Runs the encoder's picture pipeline once on a file (read with the PAL
// target, resize, convert) and prints, in KiB: peak resident memory of the
// process, its resident memory before the pipeline, and the size of the
// picture as full-size 8-bit RGB.
#include <sys/resource.h>

#include <cstdio>

#include "tools/picture/PictureInput.h"

namespace {

long PeakResidentKib() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace bootlume::picture;
  if (argc != 4) {
    std::fprintf(stderr, "usage: picture_peak_memory PICTURE FULL_WIDTH FULL_HEIGHT\n");
    return 2;
  }
  const long before = PeakResidentKib();
  const ReadResult read = ReadPicture(argv[1], 720, 576);
  if (read.status != ReadStatus::kOk) {
    std::fprintf(stderr, "%s\n", read.detail.c_str());
    return 1;
  }
  const Planes420 planes = ToPlanes420(ResizeRgb(read.image, 720, 576));
  const long fullRgb = std::atol(argv[2]) * std::atol(argv[3]) * 3 / 1024;
  std::printf("%ld %ld %ld %zu\n", PeakResidentKib(), before, fullRgb, planes.y.size());
  return 0;
}
