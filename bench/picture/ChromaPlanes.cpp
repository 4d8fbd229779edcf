// Writes a picture, stretched to 720x576, as RGB (PPM) and as two 4:2:0 Y4M
// files with the same luma: "ours.y4m" with ToPlanes420's MPEG-2-sited
// chroma filter, "box.y4m" with a plain 2x2 average of the exact chroma.
#include <cmath>
#include <cstdio>
#include <string>

#include "tools/picture/PictureInput.h"

namespace {

using namespace bootlume::picture;

bool WriteY4m(const std::string& path, const Planes420& planes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  std::fprintf(file, "YUV4MPEG2 W%d H%d F25:1 Ip A1:1 C420mpeg2 XCOLORRANGE=LIMITED\nFRAME\n", planes.width,
               planes.height);
  std::fwrite(planes.y.data(), 1, planes.y.size(), file);
  std::fwrite(planes.cb.data(), 1, planes.cb.size(), file);
  std::fwrite(planes.cr.data(), 1, planes.cr.size(), file);
  return std::fclose(file) == 0;
}

Planes420 BoxAveraged(const RgbImage& frame, Planes420 planes) {
  const int chromaWidth = frame.width / 2;
  for (int j = 0; j < frame.height / 2; ++j) {
    for (int i = 0; i < chromaWidth; ++i) {
      double cb = 0;
      double cr = 0;
      for (int k = 0; k < 4; ++k) {
        const std::uint8_t* p = &frame.pixels[(static_cast<std::size_t>(2 * j + k / 2) * frame.width + 2 * i + k % 2) * 3];
        const double luma = 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2];
        cb += 224.0 * (p[2] - luma) / 1.772 / 255.0 / 4;
        cr += 224.0 * (p[0] - luma) / 1.402 / 255.0 / 4;
      }
      planes.cb[static_cast<std::size_t>(j * chromaWidth + i)] = static_cast<std::uint8_t>(std::lround(128 + cb));
      planes.cr[static_cast<std::size_t>(j * chromaWidth + i)] = static_cast<std::uint8_t>(std::lround(128 + cr));
    }
  }
  return planes;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: picture_chroma_planes PICTURE OUTPUT_FOLDER\n");
    return 2;
  }
  const ReadResult read = ReadPicture(argv[1], 720, 576);
  if (read.status != ReadStatus::kOk) {
    std::fprintf(stderr, "%s: %s\n", argv[1], read.detail.c_str());
    return 1;
  }
  const RgbImage frame = ResizeRgb(read.image, 720, 576);
  const std::string folder = argv[2];
  std::FILE* ppm = std::fopen((folder + "/rgb.ppm").c_str(), "wb");
  if (ppm == nullptr) return 1;
  std::fprintf(ppm, "P6\n%d %d\n255\n", frame.width, frame.height);
  std::fwrite(frame.pixels.data(), 1, frame.pixels.size(), ppm);
  std::fclose(ppm);
  const Planes420 ours = ToPlanes420(frame);
  return WriteY4m(folder + "/ours.y4m", ours) && WriteY4m(folder + "/box.y4m", BoxAveraged(frame, ours)) ? 0 : 1;
}
