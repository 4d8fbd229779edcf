#include "tests/decoder/PictureCompare.h"

#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <limits>

extern "C" {
#include <jpeglib.h>
}

namespace bootlume::decoder::test {
namespace {

struct ErrorExit {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

void LeaveOnError(j_common_ptr info) { std::longjmp(reinterpret_cast<ErrorExit*>(info->err)->jump, 1); }
void Quiet(j_common_ptr, int) {}

// C-style: libjpeg leaves through longjmp. Fills `rgb` (malloc'd by the
// caller to width*height*3 once the size is known through `allocate`).
bool DecompressFile(std::FILE* file, int* width, int* height, unsigned char** rgb) {
  jpeg_decompress_struct info;
  ErrorExit error;
  info.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = LeaveOnError;
  error.manager.emit_message = Quiet;
  *rgb = nullptr;
  if (setjmp(error.jump) != 0) {
    jpeg_destroy_decompress(&info);
    std::free(*rgb);
    *rgb = nullptr;
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_stdio_src(&info, file);
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  *width = static_cast<int>(info.output_width);
  *height = static_cast<int>(info.output_height);
  const size_t rowBytes = static_cast<size_t>(info.output_width) * 3;
  *rgb = static_cast<unsigned char*>(std::malloc(rowBytes * info.output_height));
  if (*rgb == nullptr) std::longjmp(error.jump, 1);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = *rgb + rowBytes * info.output_scanline;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

double PsnrFromSquaredError(double sum, double count) {
  if (sum == 0) return std::numeric_limits<double>::infinity();
  return 10.0 * std::log10(255.0 * 255.0 * count / sum);
}

}  // namespace

std::optional<Pixels> ReadJpeg(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return std::nullopt;
  int width = 0;
  int height = 0;
  unsigned char* rgb = nullptr;
  const bool ok = DecompressFile(file, &width, &height, &rgb);
  std::fclose(file);
  if (!ok) return std::nullopt;
  Pixels pixels{width, height, std::vector<std::uint8_t>(rgb, rgb + static_cast<size_t>(width) * height * 3)};
  std::free(rgb);
  return pixels;
}

std::optional<Pixels> ReadPpm(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::string magic;
  int width = 0;
  int height = 0;
  int maximum = 0;
  if (!(file >> magic >> width >> height >> maximum) || magic != "P6" || maximum != 255) return std::nullopt;
  file.get();
  Pixels pixels{width, height, std::vector<std::uint8_t>(static_cast<size_t>(width) * height * 3)};
  if (!file.read(reinterpret_cast<char*>(pixels.rgb.data()), static_cast<std::streamsize>(pixels.rgb.size()))) {
    return std::nullopt;
  }
  return pixels;
}

int JpegFrameMarker(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  // Walk the marker segments from SOI; SOFn is C0..CF except C4 (DHT), C8 (JPG) and CC (DAC).
  if (bytes.size() < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8) return -1;
  size_t at = 2;
  while (at + 4 <= bytes.size() && bytes[at] == 0xFF) {
    const int marker = bytes[at + 1];
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) return marker;
    if (marker == 0xDA) return -1;
    at += 2 + (static_cast<size_t>(bytes[at + 2]) << 8 | bytes[at + 3]);
  }
  return -1;
}

double RgbPsnr(const Pixels& a, const Pixels& b) {
  if (a.width != b.width || a.height != b.height || a.rgb.size() != b.rgb.size() || a.rgb.empty()) {
    return std::numeric_limits<double>::quiet_NaN();
  }
  double sum = 0;
  for (size_t i = 0; i < a.rgb.size(); ++i) {
    const double d = static_cast<double>(a.rgb[i]) - b.rgb[i];
    sum += d * d;
  }
  return PsnrFromSquaredError(sum, static_cast<double>(a.rgb.size()));
}

double LumaPsnr(const Pixels& a, const Pixels& b) {
  if (a.width != b.width || a.height != b.height || a.rgb.size() != b.rgb.size() || a.rgb.empty()) {
    return std::numeric_limits<double>::quiet_NaN();
  }
  const auto luma = [](const std::vector<std::uint8_t>& rgb, size_t i) {
    return 0.299 * rgb[i] + 0.587 * rgb[i + 1] + 0.114 * rgb[i + 2];
  };
  double sum = 0;
  for (size_t i = 0; i < a.rgb.size(); i += 3) {
    const double d = luma(a.rgb, i) - luma(b.rgb, i);
    sum += d * d;
  }
  return PsnrFromSquaredError(sum, static_cast<double>(a.rgb.size() / 3));
}

}  // namespace bootlume::decoder::test
