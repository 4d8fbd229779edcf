#include "tools/decoder/JpegWriter.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" {
#include <jerror.h>
#include <jpeglib.h>
}

namespace bootlume::decoder {
namespace {

// Everything below up to EncodeJpeg is C-style: libjpeg leaves through
// longjmp on an error, so no object with a destructor lives in these frames.

// A growing output buffer from malloc, owned by whoever called CompressRgb.
struct MemoryDestination {
  jpeg_destination_mgr manager;
  unsigned char* data;
  size_t capacity;
  size_t size;
};

constexpr size_t kFirstOutputCapacity = 64 * 1024;

void StartDestination(j_compress_ptr info) {
  auto* destination = reinterpret_cast<MemoryDestination*>(info->dest);
  destination->data = static_cast<unsigned char*>(std::malloc(kFirstOutputCapacity));
  if (destination->data == nullptr) ERREXIT1(info, JERR_OUT_OF_MEMORY, 10);
  destination->capacity = kFirstOutputCapacity;
  destination->size = 0;
  destination->manager.next_output_byte = destination->data;
  destination->manager.free_in_buffer = destination->capacity;
}

// libjpeg filled the whole buffer: double it.
boolean GrowDestination(j_compress_ptr info) {
  auto* destination = reinterpret_cast<MemoryDestination*>(info->dest);
  const size_t grown = destination->capacity * 2;
  auto* data = static_cast<unsigned char*>(std::realloc(destination->data, grown));
  if (data == nullptr) ERREXIT1(info, JERR_OUT_OF_MEMORY, 11);
  destination->data = data;
  destination->manager.next_output_byte = data + destination->capacity;
  destination->manager.free_in_buffer = grown - destination->capacity;
  destination->capacity = grown;
  return TRUE;
}

void FinishDestination(j_compress_ptr info) {
  auto* destination = reinterpret_cast<MemoryDestination*>(info->dest);
  destination->size = destination->capacity - destination->manager.free_in_buffer;
}

struct ErrorExit {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void LeaveOnError(j_common_ptr info) {
  auto* error = reinterpret_cast<ErrorExit*>(info->err);
  (*info->err->format_message)(info, error->message);
  std::longjmp(error->jump, 1);
}

void KeepWarningsQuiet(j_common_ptr, int) {}

// Codes `height` rows of `width` RGB pixels into destination->data (malloc'd,
// destination->size bytes). False with `message` set on failure; the caller
// frees destination->data either way.
bool CompressRgb(const unsigned char* pixels, int width, int height, int stride, int quality,
                 MemoryDestination* destination, char* message) {
  jpeg_compress_struct info;
  ErrorExit error;
  info.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = LeaveOnError;
  error.manager.emit_message = KeepWarningsQuiet;
  error.message[0] = '\0';
  if (setjmp(error.jump) != 0) {
    jpeg_destroy_compress(&info);
    std::memcpy(message, error.message, JMSG_LENGTH_MAX);
    return false;
  }
  jpeg_create_compress(&info);
  destination->manager.init_destination = StartDestination;
  destination->manager.empty_output_buffer = GrowDestination;
  destination->manager.term_destination = FinishDestination;
  info.dest = &destination->manager;

  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  info.optimize_coding = TRUE;
  info.dct_method = JDCT_ISLOW;
  for (int component = 0; component < info.num_components; ++component) {
    info.comp_info[component].h_samp_factor = 1;
    info.comp_info[component].v_samp_factor = 1;
  }
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(pixels + static_cast<size_t>(info.next_scanline) * static_cast<size_t>(stride));
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return true;
}

}  // namespace

JpegResult EncodeJpeg(const RgbPicture& picture, int quality) {
  JpegResult result;
  MemoryDestination destination{};
  char message[JMSG_LENGTH_MAX] = {};
  const bool coded =
      CompressRgb(picture.pixels.data(), picture.width, picture.height, picture.stride, quality, &destination, message);
  if (coded) {
    result.bytes.Append(ByteView(destination.data, destination.size));
  } else {
    result.failure = message[0] != '\0' ? message : "JPEG coding failed";
  }
  std::free(destination.data);
  return result;
}

}  // namespace bootlume::decoder
