// bootlume-picture-to-yuv: what bootlume-encode hands its encoder core, as a
// raw planar Y'CbCr 4:2:0 frame, for measurements of the picture path alone.
//   bootlume-picture-to-yuv PICTURE WIDTH HEIGHT OUT.yuv
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "tools/picture/PictureInput.h"

int main(int argc, char** argv) {
  using namespace bootlume::picture;
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s PICTURE WIDTH HEIGHT OUT.yuv\n", argv[0]);
    return 2;
  }
  const int width = std::atoi(argv[2]), height = std::atoi(argv[3]);
  const ReadResult read = ReadPicture(argv[1], width, height);
  if (read.status != ReadStatus::kOk) {
    std::fprintf(stderr, "cannot read %s: %s\n", argv[1], read.detail.c_str());
    return 1;
  }
  const Planes420 planes = ToPlanes420(ResizeRgb(read.image, width, height));
  std::ofstream out(argv[4], std::ios::binary);
  for (const auto* plane : {&planes.y, &planes.cb, &planes.cr})
    out.write(reinterpret_cast<const char*>(plane->data()), static_cast<std::streamsize>(plane->size()));
  return out ? 0 : 1;
}
