#include "ui/JpegDecoder.h"

#include <jerror.h>
#include <jpeglib.h>

#include <csetjmp>
#include <cstddef>
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <cstdlib>

namespace bootlume {
namespace {

// ---------------------------------------------------------------------------
// The C side: libjpeg reports errors by longjmp, so everything between the
// setjmp and the end of DecodeToRaw is plain C data without destructors.

constexpr std::size_t kChunkSize = 4096;
const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

// Hands the held bytes to libjpeg chunk by chunk, then end markers forever.
struct ChunkSource {
  jpeg_source_mgr manager;
  const JOCTET* data;
  std::size_t size;
  std::size_t offset;
};

struct ErrorTrap {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

struct RawPicture {
  int width;
  int height;
  int components;
  bool adobeInverted;
  unsigned char* pixels;  // malloc'ed, width * height * components
};

void InitSource(j_decompress_ptr) {}

boolean FillInputBuffer(j_decompress_ptr info) {
  ChunkSource* source = reinterpret_cast<ChunkSource*>(info->src);
  if (source->offset < source->size) {
    const std::size_t left = source->size - source->offset;
    const std::size_t chunk = left < kChunkSize ? left : kChunkSize;
    source->manager.next_input_byte = source->data + source->offset;
    source->manager.bytes_in_buffer = chunk;
    source->offset += chunk;
  } else {
    // The data ended before the picture did: supply the end marker so that
    // libjpeg completes what it has instead of failing.
    WARNMS(info, JWRN_JPEG_EOF);
    source->manager.next_input_byte = kEndOfImage;
    source->manager.bytes_in_buffer = sizeof kEndOfImage;
  }
  return TRUE;
}

void SkipInputData(j_decompress_ptr info, long count) {
  if (count <= 0) return;
  jpeg_source_mgr* source = info->src;
  while (static_cast<std::size_t>(count) > source->bytes_in_buffer) {
    count -= static_cast<long>(source->bytes_in_buffer);
    FillInputBuffer(info);
  }
  source->next_input_byte += count;
  source->bytes_in_buffer -= static_cast<std::size_t>(count);
}

void TermSource(j_decompress_ptr) {}

[[noreturn]] void ErrorExit(j_common_ptr info) {
  ErrorTrap* trap = reinterpret_cast<ErrorTrap*>(info->err);
  std::longjmp(trap->jump, 1);
}

// Warnings about damaged data are expected (cut-off pictures); keep quiet.
void EmitMessage(j_common_ptr, int) {}
void OutputMessage(j_common_ptr) {}

// Decodes into `out`; 1 on success. On failure nothing stays allocated.
int DecodeToRaw(const unsigned char* data, std::size_t size, RawPicture* out) {
  jpeg_decompress_struct info;
  ErrorTrap trap;
  ChunkSource source;
  out->pixels = nullptr;

  info.err = jpeg_std_error(&trap.manager);
  trap.manager.error_exit = ErrorExit;
  trap.manager.emit_message = EmitMessage;
  trap.manager.output_message = OutputMessage;
  if (setjmp(trap.jump)) {
    jpeg_destroy_decompress(&info);
    std::free(out->pixels);
    out->pixels = nullptr;
    return 0;
  }
  jpeg_create_decompress(&info);

  source.manager.init_source = InitSource;
  source.manager.fill_input_buffer = FillInputBuffer;
  source.manager.skip_input_data = SkipInputData;
  source.manager.resync_to_restart = jpeg_resync_to_restart;
  source.manager.term_source = TermSource;
  source.manager.next_input_byte = nullptr;
  source.manager.bytes_in_buffer = 0;
  source.data = data;
  source.size = size;
  source.offset = 0;
  info.src = &source.manager;

  jpeg_read_header(&info, TRUE);
  jpeg_start_decompress(&info);
  const long long pixelCount = static_cast<long long>(info.output_width) * info.output_height;
  const int components = info.output_components;
  if (pixelCount <= 0 || pixelCount > kMaxDecodedPixels || (components != 1 && components != 3 && components != 4)) {
    jpeg_destroy_decompress(&info);
    return 0;
  }
  const std::size_t rowBytes = static_cast<std::size_t>(info.output_width) * components;
  out->pixels = static_cast<unsigned char*>(std::malloc(rowBytes * info.output_height));
  if (out->pixels == nullptr) {
    jpeg_destroy_decompress(&info);
    return 0;
  }
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = out->pixels + rowBytes * info.output_scanline;
    jpeg_read_scanlines(&info, &row, 1);
  }
  out->width = static_cast<int>(info.output_width);
  out->height = static_cast<int>(info.output_height);
  out->components = components;
  out->adobeInverted = info.saw_Adobe_marker != 0;
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return 1;
}

// ---------------------------------------------------------------------------

std::uint8_t Scale255(unsigned a, unsigned b) { return static_cast<std::uint8_t>((a * b + 127) / 255); }

RgbPicture ToRgb(const RawPicture& raw) {
  RgbPicture picture;
  picture.width = raw.width;
  picture.height = raw.height;
  const std::size_t count = static_cast<std::size_t>(raw.width) * raw.height;
  picture.pixels.resize(count * 3);
  std::uint8_t* to = picture.pixels.data();
  const unsigned char* from = raw.pixels;
  for (std::size_t i = 0; i < count; ++i, to += 3, from += raw.components) {
    if (raw.components == 1) {
      to[0] = to[1] = to[2] = from[0];
    } else if (raw.components == 3) {
      to[0] = from[0], to[1] = from[1], to[2] = from[2];
    } else {
      // Adobe writes CMYK inverted (255 = no ink); others write it plain.
      const unsigned c = raw.adobeInverted ? from[0] : 255u - from[0];
      const unsigned m = raw.adobeInverted ? from[1] : 255u - from[1];
      const unsigned y = raw.adobeInverted ? from[2] : 255u - from[2];
      const unsigned k = raw.adobeInverted ? from[3] : 255u - from[3];
      to[0] = Scale255(c, k), to[1] = Scale255(m, k), to[2] = Scale255(y, k);
    }
  }
  return picture;
}

}  // namespace

std::optional<RgbPicture> DecodeJpeg(ByteView bytes) {
  if (bytes.empty()) return std::nullopt;
  RawPicture raw{};
  if (!DecodeToRaw(bytes.data(), bytes.size(), &raw)) return std::nullopt;
  RgbPicture picture = ToRgb(raw);
  std::free(raw.pixels);
  return picture;
}

}  // namespace bootlume
