// PNG through libpng. libpng reports errors by longjmp to png_jmpbuf, so the
// calls into it sit in small functions that own only C data (the PngSession);
// the C++ side allocates and decides between them.
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include <png.h>

#include "tools/picture/Compositing.h"
#include "tools/picture/Decoders.h"

namespace bootlume::picture {
namespace {

struct PngSession {
  png_structp png;
  png_infop info;
  const png_byte* data;
  std::size_t size;
  std::size_t offset;
  int storedBitsPerPixel;  // as in the file, before libpng's expansion
  bool outOfMemory;
  char message[160];
};

PngSession& SessionOf(png_structp png) { return *static_cast<PngSession*>(png_get_io_ptr(png)); }

[[noreturn]] void OnError(png_structp png, png_const_charp message) {
  PngSession& session = *static_cast<PngSession*>(png_get_error_ptr(png));
  std::snprintf(session.message, sizeof session.message, "%s", message);
  png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

png_voidp Allocate(png_structp png, png_alloc_size_t size) {
  void* memory = std::malloc(size);
  if (memory == nullptr) static_cast<PngSession*>(png_get_mem_ptr(png))->outOfMemory = true;
  return memory;
}

void Free(png_structp, png_voidp memory) { std::free(memory); }

void ReadFromMemory(png_structp png, png_bytep out, std::size_t count) {
  PngSession& session = SessionOf(png);
  if (count > session.size - session.offset) png_error(png, "the file ends before the picture is complete");
  std::memcpy(out, session.data + session.offset, count);
  session.offset += count;
}

// Reads up to the picture data and asks libpng for 8-bit RGB or RGBA rows:
// palettes expanded, grey made RGB, tRNS made alpha, 16 bits scaled with
// rounding, interlaced passes combined.
bool ReadHeader(PngSession& s, int& passes) {
  if (setjmp(png_jmpbuf(s.png))) return false;
  png_set_user_limits(s.png, static_cast<png_uint_32>(kMaxPictureSide), static_cast<png_uint_32>(kMaxPictureSide));
  png_set_read_fn(s.png, &s, ReadFromMemory);
  png_read_info(s.png, s.info);
  s.storedBitsPerPixel = png_get_bit_depth(s.png, s.info) * png_get_channels(s.png, s.info);
  png_set_expand(s.png);
  png_set_scale_16(s.png);
  png_set_gray_to_rgb(s.png);
  passes = png_set_interlace_handling(s.png);
  png_read_update_info(s.png, s.info);
  return true;
}

// Rows of `stride` bytes; with interlacing each pass fills in its pixels.
bool ReadRows(PngSession& s, png_bytep pixels, std::size_t stride, png_uint_32 height, int passes) {
  if (setjmp(png_jmpbuf(s.png))) return false;
  for (int pass = 0; pass < passes; ++pass) {
    for (png_uint_32 y = 0; y < height; ++y) png_read_row(s.png, pixels + y * stride, nullptr);
  }
  return true;
}

// A non-interlaced picture with alpha, row by row through one RGBA row, so
// that no full-size RGBA copy is ever held.
bool ReadRowsOverBlack(PngSession& s, png_bytep rgb, png_uint_32 width, png_uint_32 height, png_bytep rgbaRow) {
  if (setjmp(png_jmpbuf(s.png))) return false;
  for (png_uint_32 y = 0; y < height; ++y) {
    png_read_row(s.png, rgbaRow, nullptr);
    CompositeOverBlack(rgbaRow, width, rgb + std::size_t{y} * width * 3);
  }
  return true;
}

struct PngSessionOwner {
  PngSession session{};
  ~PngSessionOwner() { png_destroy_read_struct(&session.png, &session.info, nullptr); }
};

ReadResult Failure(const PngSession& s, const char* what) {
  if (s.outOfMemory) throw std::bad_alloc();
  return CannotOpen(std::string(what) + ": " + s.message);
}

// Deflate packs at most 1032 bytes into one, so a file too short for its
// picture's rows (filter byte included) is refused before they are allocated.
bool CanHoldItsRows(const PngSession& s, std::size_t fileSize) {
  constexpr std::uint64_t kDeflateMaxRatio = 1032;
  const std::uint64_t bitsPerPixel = static_cast<std::uint64_t>(s.storedBitsPerPixel);
  const std::uint64_t rowBytes = (std::uint64_t{png_get_image_width(s.png, s.info)} * bitsPerPixel + 7) / 8 + 1;
  return rowBytes * png_get_image_height(s.png, s.info) <= kDeflateMaxRatio * fileSize;
}

}  // namespace

ReadResult DecodePng(ByteView file) {
  PngSessionOwner owner;
  PngSession& s = owner.session;
  s.data = file.data();
  s.size = file.size();
  s.png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, &s, OnError, OnWarning, &s, Allocate, Free);
  if (s.png != nullptr) s.info = png_create_info_struct(s.png);
  if (s.png == nullptr || s.info == nullptr) {
    if (s.outOfMemory) throw std::bad_alloc();
    return {ReadStatus::kDecoderUnavailable, {}, "the PNG library cannot start"};
  }
  int passes = 1;
  if (!ReadHeader(s, passes)) return Failure(s, "not a readable PNG");

  const png_uint_32 width = png_get_image_width(s.png, s.info);
  const png_uint_32 height = png_get_image_height(s.png, s.info);
  const int channels = png_get_channels(s.png, s.info);
  if (!IsAcceptableSize(width, height)) {
    return CannotOpen("PNG of " + std::to_string(width) + "x" + std::to_string(height) + " pixels is too large");
  }
  if (!CanHoldItsRows(s, file.size())) return CannotOpen("damaged PNG: the file is too short for its size");
  if (png_get_bit_depth(s.png, s.info) != 8 || (channels != 3 && channels != 4) ||
      png_get_rowbytes(s.png, s.info) != std::size_t{width} * static_cast<std::size_t>(channels)) {
    return CannotOpen("PNG in an unexpected layout");
  }
  RgbImage image;
  image.width = static_cast<int>(width);
  image.height = static_cast<int>(height);
  const std::size_t pixelCount = std::size_t{width} * height;
  if (channels == 4 && passes == 1) {
    image.pixels.resize(pixelCount * 3);
    std::vector<png_byte> rgbaRow(std::size_t{width} * 4);
    if (!ReadRowsOverBlack(s, image.pixels.data(), width, height, rgbaRow.data())) return Failure(s, "damaged PNG");
    return {ReadStatus::kOk, std::move(image), {}};
  }
  // Interlaced passes fill in every row several times: the whole picture is
  // read first, and composited in place when it has alpha.
  image.pixels.resize(pixelCount * static_cast<std::size_t>(channels));
  if (!ReadRows(s, image.pixels.data(), std::size_t{width} * static_cast<std::size_t>(channels), height, passes)) {
    return Failure(s, "damaged PNG");
  }
  if (channels == 4) {
    CompositeOverBlack(image.pixels.data(), pixelCount, image.pixels.data());
    image.pixels.resize(pixelCount * 3);
  }
  return {ReadStatus::kOk, std::move(image), {}};
}

}  // namespace bootlume::picture
