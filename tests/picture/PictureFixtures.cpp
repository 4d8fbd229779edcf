#include "tests/picture/PictureFixtures.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include <jpeglib.h>
#include <png.h>

#include "tests/support/TestSupport.h"

namespace bootlume::picture::test {
namespace {

// Reads a binary PPM (P6, maxval 255).
std::optional<RgbImage> ParsePpm(const ByteBuffer& file) {
  std::size_t at = 0;
  auto token = [&]() -> std::optional<long> {
    while (at < static_cast<std::size_t>(file.size())) {
      if (file[static_cast<std::int32_t>(at)] == '#') {
        while (at < static_cast<std::size_t>(file.size()) && file[static_cast<std::int32_t>(at)] != '\n') ++at;
      } else if (std::isspace(file[static_cast<std::int32_t>(at)])) {
        ++at;
      } else {
        break;
      }
    }
    long value = 0;
    bool any = false;
    while (at < static_cast<std::size_t>(file.size()) && std::isdigit(file[static_cast<std::int32_t>(at)])) {
      value = value * 10 + (file[static_cast<std::int32_t>(at)] - '0');
      any = true;
      ++at;
    }
    if (!any) return std::nullopt;
    return value;
  };
  if (file.size() < 2 || file[0] != 'P' || file[1] != '6') return std::nullopt;
  at = 2;
  const auto width = token();
  const auto height = token();
  const auto maxValue = token();
  if (!width || !height || maxValue != 255) return std::nullopt;
  ++at;  // the single whitespace before the samples
  RgbImage image;
  image.width = static_cast<int>(*width);
  image.height = static_cast<int>(*height);
  const std::size_t length = static_cast<std::size_t>(*width * *height * 3);
  if (at + length > static_cast<std::size_t>(file.size())) return std::nullopt;
  image.pixels.assign(file.data() + at, file.data() + at + length);
  return image;
}

void PutTiff16(std::vector<std::uint8_t>& out, unsigned value, bool little) {
  out.push_back(static_cast<std::uint8_t>(little ? value & 0xFF : value >> 8));
  out.push_back(static_cast<std::uint8_t>(little ? value >> 8 : value & 0xFF));
}

void PutTiff32(std::vector<std::uint8_t>& out, unsigned value, bool little) {
  PutTiff16(out, little ? value & 0xFFFF : value >> 16, little);
  PutTiff16(out, little ? value >> 16 : value & 0xFFFF, little);
}

}  // namespace

bool Convert(const std::vector<std::string>& arguments) {
  std::vector<std::string> command = {"convert"};
  command.insert(command.end(), arguments.begin(), arguments.end());
  return bootlume::test::RunProgram(command).status == 0;
}

std::optional<RgbImage> DecodeWithImageMagick(const std::string& path, const std::vector<std::string>& operators) {
  bootlume::test::TempDirectory scratch;
  std::vector<std::string> arguments = {path + "[0]"};
  arguments.insert(arguments.end(), operators.begin(), operators.end());
  for (const char* argument : {"-background", "black", "-alpha", "remove", "-alpha", "off", "-depth", "8"}) {
    arguments.emplace_back(argument);
  }
  arguments.push_back("ppm:" + (scratch / "oracle.ppm"));
  if (!Convert(arguments)) return std::nullopt;
  return ParsePpm(bootlume::test::ReadFileBytes(scratch / "oracle.ppm"));
}

double Psnr(const RgbImage& a, const RgbImage& b) {
  if (a.width != b.width || a.height != b.height || a.pixels.size() != b.pixels.size() || a.pixels.empty()) return 0.0;
  double sum = 0.0;
  for (std::size_t i = 0; i < a.pixels.size(); ++i) {
    const double d = static_cast<double>(a.pixels[i]) - b.pixels[i];
    sum += d * d;
  }
  if (sum == 0.0) return std::numeric_limits<double>::infinity();
  return 10.0 * std::log10(255.0 * 255.0 * static_cast<double>(a.pixels.size()) / sum);
}

RgbImage MakeImage(int width, int height, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  RgbImage image;
  image.width = width;
  image.height = height;
  for (int i = 0; i < width * height; ++i) image.pixels.insert(image.pixels.end(), {r, g, b});
  return image;
}

const std::uint8_t* PixelAt(const RgbImage& image, int x, int y) {
  return &image.pixels[(static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) + static_cast<std::size_t>(x)) * 3];
}

std::optional<JpegLayout> ReadJpegLayout(ByteView file) {
  if (file.size() < 4 || file[0] != 0xFF || file[1] != 0xD8) return std::nullopt;
  JpegLayout layout;
  std::size_t at = 2;
  while (at + 4 <= file.size()) {
    if (file[at] != 0xFF) return std::nullopt;
    const int marker = file[at + 1];
    if (marker == 0xFF) {
      ++at;
      continue;
    }
    if (marker == 0xDA || marker == 0xD9) break;
    const std::size_t length = static_cast<std::size_t>(file[at + 2] << 8 | file[at + 3]);
    if (length < 2 || at + 2 + length > file.size()) return std::nullopt;
    const std::uint8_t* data = file.data() + at + 4;
    const std::size_t size = length - 2;
    const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame && size >= 6) {
      layout.frameMarker = marker;
      layout.components = data[5];
    }
    if (marker == 0xEE && size >= 12 && std::memcmp(data, "Adobe", 5) == 0) layout.adobeTransform = data[11];
    if (marker == 0xE1 && size >= 6 && std::memcmp(data, "Exif\0\0", 6) == 0) layout.hasExif = true;
    at += 2 + length;
  }
  if (layout.frameMarker == 0) return std::nullopt;
  return layout;
}

ByteBuffer WithExifOrientation(ByteView jpeg, int orientation, bool littleEndian) {
  std::vector<std::uint8_t> tiff = {static_cast<std::uint8_t>(littleEndian ? 'I' : 'M'),
                                    static_cast<std::uint8_t>(littleEndian ? 'I' : 'M')};
  PutTiff16(tiff, 42, littleEndian);
  PutTiff32(tiff, 8, littleEndian);  // first IFD right after the header
  PutTiff16(tiff, 1, littleEndian);  // one entry
  PutTiff16(tiff, 0x0112, littleEndian);
  PutTiff16(tiff, 3, littleEndian);  // SHORT
  PutTiff32(tiff, 1, littleEndian);
  PutTiff16(tiff, static_cast<unsigned>(orientation), littleEndian);
  PutTiff16(tiff, 0, littleEndian);
  PutTiff32(tiff, 0, littleEndian);  // no next IFD
  std::vector<std::uint8_t> segment = {0xFF, 0xE1, 0, 0, 'E', 'x', 'i', 'f', 0, 0};
  segment.insert(segment.end(), tiff.begin(), tiff.end());
  segment[2] = static_cast<std::uint8_t>((segment.size() - 2) >> 8);
  segment[3] = static_cast<std::uint8_t>((segment.size() - 2) & 0xFF);
  // After a JFIF APP0 segment when there is one, else right after SOI.
  std::size_t insertAt = 2;
  if (jpeg.size() > 6 && jpeg[2] == 0xFF && jpeg[3] == 0xE0) insertAt = 4 + static_cast<std::size_t>(jpeg[4] << 8 | jpeg[5]);
  ByteBuffer out(jpeg.first(insertAt));
  out.Append(ByteView(segment.data(), segment.size()));
  out.Append(jpeg.subspan(insertAt));
  return out;
}

bool WriteCmykJpeg(const std::string& path, const RgbImage& picture, bool adobeMarker) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, file);
  info.image_width = static_cast<JDIMENSION>(picture.width);
  info.image_height = static_cast<JDIMENSION>(picture.height);
  info.input_components = 4;
  info.in_color_space = JCS_CMYK;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 95, TRUE);
  jpeg_set_colorspace(&info, JCS_CMYK);
  info.write_Adobe_marker = adobeMarker ? TRUE : FALSE;
  jpeg_start_compress(&info, TRUE);
  std::vector<JSAMPLE> row(static_cast<std::size_t>(picture.width) * 4);
  while (info.next_scanline < info.image_height) {
    const int y = static_cast<int>(info.next_scanline);
    for (int x = 0; x < picture.width; ++x) {
      const std::uint8_t* rgb = PixelAt(picture, x, y);
      const int ink[4] = {255 - rgb[0], 255 - rgb[1], 255 - rgb[2], x * 255 / std::max(1, picture.width - 1)};
      for (int c = 0; c < 4; ++c) row[static_cast<std::size_t>(4 * x + c)] = static_cast<JSAMPLE>(adobeMarker ? 255 - ink[c] : ink[c]);
    }
    JSAMPROW pointer = row.data();
    jpeg_write_scanlines(&info, &pointer, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return std::fclose(file) == 0;
}

bool WritePalettePng(const std::string& path, int width, int height, const std::vector<std::uint8_t>& indices,
                     const std::vector<std::uint8_t>& rgbaPalette) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGBA_COLORMAP;
  image.colormap_entries = static_cast<png_uint_32>(rgbaPalette.size() / 4);
  const int written = png_image_write_to_file(&image, path.c_str(), 0, indices.data(), 0, rgbaPalette.data());
  png_image_free(&image);
  return written != 0;
}

}  // namespace bootlume::picture::test
