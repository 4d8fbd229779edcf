#include "tests/ui/JpegFixtures.h"

#include <jpeglib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace bootlume::test {

ByteBuffer EncodeJpeg(const RgbPicture& picture, int components, int quality, bool progressive, int commentBytes) {
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* out = nullptr;
  unsigned long outSize = 0;
  jpeg_mem_dest(&info, &out, &outSize);
  info.image_width = static_cast<JDIMENSION>(picture.width);
  info.image_height = static_cast<JDIMENSION>(picture.height);
  info.input_components = components;
  info.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  if (progressive) jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  if (commentBytes > 0) {
    std::vector<JOCTET> comment(static_cast<std::size_t>(commentBytes), 'c');
    jpeg_write_marker(&info, JPEG_COM, comment.data(), static_cast<unsigned>(commentBytes));
  }
  std::vector<JSAMPLE> row(static_cast<std::size_t>(picture.width) * components);
  while (info.next_scanline < info.image_height) {
    const int y = static_cast<int>(info.next_scanline);
    for (int x = 0; x < picture.width; ++x) {
      const std::uint8_t* p = picture.Pixel(x, y);
      if (components == 1) {
        row[static_cast<std::size_t>(x)] = p[0];
      } else {
        std::memcpy(&row[static_cast<std::size_t>(x) * 3], p, 3);
      }
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  ByteBuffer result(ByteView(out, outSize));
  std::free(out);
  return result;
}

RgbPicture DecodeJpegReference(ByteView jpeg) {
  jpeg_decompress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  RgbPicture picture;
  picture.width = static_cast<int>(info.output_width);
  picture.height = static_cast<int>(info.output_height);
  picture.pixels.resize(static_cast<std::size_t>(picture.width) * picture.height * 3);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = picture.pixels.data() + static_cast<std::size_t>(info.output_scanline) * picture.width * 3;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return picture;
}

double MeanDifference(const RgbPicture& a, const RgbPicture& b, int top, int bottom) {
  double sum = 0;
  std::size_t count = 0;
  for (int y = top; y < bottom; ++y) {
    for (int x = 0; x < a.width; ++x) {
      for (int c = 0; c < 3; ++c) {
        sum += std::abs(static_cast<int>(a.Pixel(x, y)[c]) - static_cast<int>(b.Pixel(x, y)[c]));
        ++count;
      }
    }
  }
  return count == 0 ? 0 : sum / static_cast<double>(count);
}

}  // namespace bootlume::test
