// JPEG through libjpeg(-turbo). libjpeg reports errors by longjmp, so every
// call into it sits in a small function below that owns only C data (the
// JpegSession) and returns false when libjpeg gave up; the C++ side allocates
// and decides between those calls.
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <new>

#include <jerror.h>
#include <jpeglib.h>

#include "tools/picture/Decoders.h"
#include "tools/picture/Orientation.h"

namespace bootlume::picture {
namespace {

// libjpeg's working memory (a progressive picture keeps all its coefficients:
// two bytes per sample) is capped; beyond it libjpeg fails cleanly for want of
// a backing store. 1 GiB holds a 300-megapixel 4:2:0 progressive picture.
constexpr long kMaxJpegWorkingMemory = 1L << 30;

struct JpegSession {
  jpeg_decompress_struct info;
  jpeg_error_mgr errors;
  jpeg_source_mgr source;
  std::jmp_buf escape;
  const JOCTET* data;
  std::size_t size;
  bool dataRanOut;   // the file ended before libjpeg stopped reading
  bool multipleScans;
  bool outOfMemory;
  bool overMemoryCap;
  bool unusableLibrary;
  char message[JMSG_LENGTH_MAX];
};

JpegSession& SessionOf(j_common_ptr common) { return *static_cast<JpegSession*>(common->client_data); }

[[noreturn]] void ExitOnError(j_common_ptr common) {
  JpegSession& session = SessionOf(common);
  const int code = common->err->msg_code;
  session.outOfMemory = code == JERR_OUT_OF_MEMORY;
  session.overMemoryCap = code == JERR_NO_BACKING_STORE;
  session.unusableLibrary = code == JERR_BAD_LIB_VERSION || code == JERR_BAD_STRUCT_SIZE;
  (*common->err->format_message)(common, session.message);
  std::longjmp(session.escape, 1);
}

// Warnings that mean picture data is missing or damaged end the decoding: the
// picture would come out partly grey or garbled. Others (extra bytes between
// markers, an odd JFIF version, a bad ICC marker) leave the picture whole.
bool IsDamage(const jpeg_error_mgr& errors) {
  switch (errors.msg_code) {
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_MUST_RESYNC:
    case JWRN_JPEG_EOF:
      return true;
  }
  // The arithmetic decoder's code is not in the public header of this
  // libjpeg version; its message is.
  const int code = errors.msg_code;
  return code >= 0 && code <= errors.last_jpeg_message && errors.jpeg_message_table[code] != nullptr &&
         std::strcmp(errors.jpeg_message_table[code], "Corrupt JPEG data: bad arithmetic code") == 0;
}

void OnMessage(j_common_ptr common, int level) {
  if (level >= 0) return;  // trace output
  if (IsDamage(*common->err)) ExitOnError(common);
  common->err->num_warnings++;
}

// The source: the file in memory. At its end it records the fact and feeds a
// made-up EOI marker, without a warning: whether the picture was complete is
// decided afterwards (a file may lack only its EOI).
void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

boolean FillInput(j_decompress_ptr info) {
  static const JOCTET kEndOfImage[] = {0xFF, JPEG_EOI};
  SessionOf(reinterpret_cast<j_common_ptr>(info)).dataRanOut = true;
  info->src->next_input_byte = kEndOfImage;
  info->src->bytes_in_buffer = sizeof kEndOfImage;
  return TRUE;
}

void SkipInput(j_decompress_ptr info, long count) {
  if (count <= 0) return;
  if (static_cast<std::size_t>(count) > info->src->bytes_in_buffer) {
    FillInput(info);
    return;
  }
  info->src->next_input_byte += count;
  info->src->bytes_in_buffer -= static_cast<std::size_t>(count);
}

// Creates the decompressor and reads the header, keeping APP1 (EXIF).
bool StartJpeg(JpegSession& s) {
  if (setjmp(s.escape)) return false;
  s.info.err = jpeg_std_error(&s.errors);
  s.errors.error_exit = ExitOnError;
  s.errors.emit_message = OnMessage;
  s.info.client_data = &s;
  jpeg_create_decompress(&s.info);
  s.info.mem->max_memory_to_use = kMaxJpegWorkingMemory;
  s.source.init_source = InitSource;
  s.source.fill_input_buffer = FillInput;
  s.source.skip_input_data = SkipInput;
  s.source.resync_to_restart = jpeg_resync_to_restart;
  s.source.term_source = TermSource;
  s.source.next_input_byte = s.data;
  s.source.bytes_in_buffer = s.size;
  s.info.src = &s.source;
  jpeg_save_markers(&s.info, JPEG_APP0 + 1, 0xFFFF);
  jpeg_read_header(&s.info, TRUE);
  return true;
}

bool CalculateOutputSize(JpegSession& s) {
  if (setjmp(s.escape)) return false;
  jpeg_calc_output_dimensions(&s.info);
  return true;
}

// Starts decompressing; a progressive or multi-scan picture is read whole here.
bool StartDecompressing(JpegSession& s) {
  if (setjmp(s.escape)) return false;
  s.multipleScans = jpeg_has_multiple_scans(&s.info);
  jpeg_start_decompress(&s.info);
  return true;
}

std::uint8_t Product(unsigned a, unsigned b) { return static_cast<std::uint8_t>((a * b + 127) / 255); }

// Decodes every row into `rgb` (width * 3 bytes per row). CMYK and YCCK
// (delivered by libjpeg as CMYK) become RGB over a libjpeg-owned row; Adobe's
// files store CMYK inverted, so that their values are already 255 - ink.
bool ReadRows(JpegSession& s, std::uint8_t* rgb) {
  if (setjmp(s.escape)) return false;
  const JDIMENSION width = s.info.output_width;
  const bool cmyk = s.info.out_color_space == JCS_CMYK;
  JSAMPARRAY cmykRow =
      cmyk ? (*s.info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&s.info), JPOOL_IMAGE, width * 4, 1) : nullptr;
  const bool inverted = s.info.saw_Adobe_marker;
  while (s.info.output_scanline < s.info.output_height) {
    std::uint8_t* out = rgb + static_cast<std::size_t>(s.info.output_scanline) * width * 3;
    JSAMPROW row = cmyk ? cmykRow[0] : out;
    if (jpeg_read_scanlines(&s.info, &row, 1) != 1) continue;
    if (!cmyk) continue;
    for (JDIMENSION x = 0; x < width; ++x) {
      const JSAMPLE* ink = row + 4 * x;
      const unsigned k = inverted ? ink[3] : 255u - ink[3];
      for (int c = 0; c < 3; ++c) out[3 * x + c] = Product(inverted ? ink[c] : 255u - ink[c], k);
    }
  }
  return true;
}

// Owns the session: libjpeg's memory goes whatever happened (destroying a
// zeroed or half-created decompressor is harmless).
struct JpegSessionOwner {
  JpegSession session{};
  ~JpegSessionOwner() { jpeg_destroy_decompress(&session.info); }
};

ReadResult Failure(const JpegSession& s, const char* what) {
  if (s.outOfMemory) throw std::bad_alloc();
  if (s.overMemoryCap) return CannotOpen("JPEG too large: decoding it needs more than 1 GiB");
  if (s.unusableLibrary) return {ReadStatus::kDecoderUnavailable, {}, std::string("JPEG library: ") + s.message};
  return CannotOpen(std::string(what) + ": " + s.message);
}

int OrientationOf(const jpeg_decompress_struct& info) {
  for (jpeg_saved_marker_ptr marker = info.marker_list; marker != nullptr; marker = marker->next) {
    if (marker->marker == JPEG_APP0 + 1 && marker->data_length >= 6 && std::memcmp(marker->data, "Exif\0\0", 6) == 0) {
      return ExifOrientation(ByteView(marker->data + 6, marker->data_length - 6));
    }
  }
  return 1;
}

// The smallest DCT scale n/8 that keeps both sides at least `need`.
int ScaleFor(std::int64_t width, std::int64_t height, std::int64_t needWidth, std::int64_t needHeight) {
  for (int n = 1; n < 8; ++n) {
    if ((width * n + 7) / 8 >= needWidth && (height * n + 7) / 8 >= needHeight) return n;
  }
  return 8;
}

// A picture whose data ended early is taken only when nothing is missing:
// a single scan is complete when no data was lacking (libjpeg would have
// warned), a progressive one when every coefficient got all its bits.
bool AllPictureDataPresent(const JpegSession& s) {
  if (!s.dataRanOut || !s.multipleScans) return true;
  if (!s.info.progressive_mode) return false;
  for (int c = 0; c < s.info.num_components; ++c) {
    for (int k = 0; k < DCTSIZE2; ++k) {
      if (s.info.coef_bits[c][k] != 0) return false;
    }
  }
  return true;
}

// Every block of every component costs at least one bit in a Huffman-coded
// file (its DC difference), so a file shorter than that cannot hold its
// picture: refused before anything is allocated. Arithmetic coding, which
// can go below a bit, is not bounded this way.
bool CanHoldItsBlocks(const jpeg_decompress_struct& info, std::size_t fileSize) {
  if (info.arith_code) return true;
  std::uint64_t blocks = 0;
  for (int c = 0; c < info.num_components; ++c) {
    blocks += std::uint64_t{info.comp_info[c].width_in_blocks} * info.comp_info[c].height_in_blocks;
  }
  return blocks / 8 <= fileSize;
}

}  // namespace

ReadResult DecodeJpeg(ByteView file, int targetWidth, int targetHeight) {
  JpegSessionOwner owner;
  JpegSession& s = owner.session;
  s.data = file.data();
  s.size = file.size();
  if (!StartJpeg(s)) return Failure(s, "not a readable JPEG");

  if (!CanHoldItsBlocks(s.info, file.size())) return CannotOpen("damaged JPEG: the file is too short for its size");
  const int orientation = OrientationOf(s.info);
  if (targetWidth > 0 && targetHeight > 0) {
    const bool swap = SwapsSides(orientation);
    s.info.scale_num = static_cast<unsigned>(ScaleFor(s.info.image_width, s.info.image_height,
                                                      2 * std::int64_t{swap ? targetHeight : targetWidth},
                                                      2 * std::int64_t{swap ? targetWidth : targetHeight}));
    s.info.scale_denom = 8;
  }
  const bool cmyk = s.info.jpeg_color_space == JCS_CMYK || s.info.jpeg_color_space == JCS_YCCK;
  s.info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  if (!CalculateOutputSize(s)) return Failure(s, "unsupported JPEG");
  if (!IsAcceptableSize(s.info.output_width, s.info.output_height)) {
    return CannotOpen("JPEG of " + std::to_string(s.info.output_width) + "x" + std::to_string(s.info.output_height) +
                      " pixels is too large");
  }
  if (!StartDecompressing(s)) return Failure(s, "damaged JPEG");

  RgbImage image;
  image.width = static_cast<int>(s.info.output_width);
  image.height = static_cast<int>(s.info.output_height);
  image.pixels.resize(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 3);
  if (!ReadRows(s, image.pixels.data())) return Failure(s, "damaged JPEG");
  if (!AllPictureDataPresent(s)) return CannotOpen("damaged JPEG: the file ends before the picture is complete");
  return {ReadStatus::kOk, ApplyOrientation(std::move(image), orientation), {}};
}

}  // namespace bootlume::picture
