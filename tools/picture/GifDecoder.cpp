// GIF through giflib: the first frame on its logical screen, transparent and
// uncovered pixels black. giflib reports errors by return codes.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include <gif_lib.h>

#include "tools/picture/Decoders.h"

namespace bootlume::picture {
namespace {

struct MemoryReader {
  ByteView file;
  std::size_t offset = 0;
};

int ReadFromMemory(GifFileType* gif, GifByteType* out, int count) {
  auto& reader = *static_cast<MemoryReader*>(gif->UserData);
  const std::size_t available = std::min(static_cast<std::size_t>(std::max(count, 0)), reader.file.size() - reader.offset);
  std::memcpy(out, reader.file.data() + reader.offset, available);
  reader.offset += available;
  return static_cast<int>(available);
}

struct GifClose {
  void operator()(GifFileType* gif) const {
    int ignored = 0;
    DGifCloseFile(gif, &ignored);
  }
};
using GifFile = std::unique_ptr<GifFileType, GifClose>;

ReadResult Failure(int error, const char* what) {
  if (error == D_GIF_ERR_NOT_ENOUGH_MEM) throw std::bad_alloc();
  const char* reason = GifErrorString(error);
  return CannotOpen(std::string(what) + ": " + (reason != nullptr ? reason : "unknown error"));
}

// Rows in the order an interlaced frame stores them: every 8th from 0, every
// 8th from 4, every 4th from 2, every 2nd from 1.
std::vector<int> RowOrder(int height, bool interlaced) {
  std::vector<int> rows;
  rows.reserve(static_cast<std::size_t>(height));
  if (!interlaced) {
    for (int y = 0; y < height; ++y) rows.push_back(y);
    return rows;
  }
  constexpr int kStart[] = {0, 4, 2, 1};
  constexpr int kStep[] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass) {
    for (int y = kStart[pass]; y < height; y += kStep[pass]) rows.push_back(y);
  }
  return rows;
}

}  // namespace

ReadResult DecodeGif(ByteView file) {
  MemoryReader reader{file};
  int error = 0;
  GifFile gif(DGifOpen(&reader, ReadFromMemory, &error));
  if (!gif) return Failure(error, "not a readable GIF");
  if (!IsAcceptableSize(gif->SWidth, gif->SHeight)) return CannotOpen("GIF screen too large");

  int transparentIndex = NO_TRANSPARENT_COLOR;
  for (;;) {
    GifRecordType record = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif.get(), &record) == GIF_ERROR) return Failure(gif->Error, "damaged GIF");
    if (record == TERMINATE_RECORD_TYPE) return CannotOpen("GIF without a picture");
    if (record == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* block = nullptr;
      if (DGifGetExtension(gif.get(), &code, &block) == GIF_ERROR) return Failure(gif->Error, "damaged GIF");
      GraphicsControlBlock control;
      if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr &&
          DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK) {
        transparentIndex = control.TransparentColor;
      }
      while (block != nullptr) {
        if (DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR) return Failure(gif->Error, "damaged GIF");
      }
      continue;
    }
    if (record != IMAGE_DESC_RECORD_TYPE) continue;
    if (DGifGetImageDesc(gif.get()) == GIF_ERROR) return Failure(gif->Error, "damaged GIF");
    break;
  }

  const GifImageDesc& frame = gif->Image;
  const ColorMapObject* colours = frame.ColorMap != nullptr ? frame.ColorMap : gif->SColorMap;
  if (frame.Width <= 0 || frame.Height <= 0 || frame.Left < 0 || frame.Top < 0) return CannotOpen("damaged GIF frame");
  if (colours == nullptr) return CannotOpen("GIF without a colour table");
  // A frame reaching beyond the logical screen widens the picture.
  const std::int64_t width = std::max<std::int64_t>(gif->SWidth, std::int64_t{frame.Left} + frame.Width);
  const std::int64_t height = std::max<std::int64_t>(gif->SHeight, std::int64_t{frame.Top} + frame.Height);
  if (!IsAcceptableSize(width, height)) return CannotOpen("GIF picture too large");

  RgbImage image;
  image.width = static_cast<int>(width);
  image.height = static_cast<int>(height);
  image.pixels.assign(static_cast<std::size_t>(width * height * 3), 0);
  std::vector<GifPixelType> line(static_cast<std::size_t>(frame.Width));
  for (const int y : RowOrder(frame.Height, frame.Interlace)) {
    if (DGifGetLine(gif.get(), line.data(), frame.Width) == GIF_ERROR) return Failure(gif->Error, "damaged GIF");
    std::uint8_t* out = &image.pixels[(static_cast<std::size_t>(frame.Top + y) * image.width + frame.Left) * 3];
    for (int x = 0; x < frame.Width; ++x) {
      const int index = line[static_cast<std::size_t>(x)];
      if (index == transparentIndex || index >= colours->ColorCount) continue;
      out[3 * x] = colours->Colors[index].Red;
      out[3 * x + 1] = colours->Colors[index].Green;
      out[3 * x + 2] = colours->Colors[index].Blue;
    }
  }
  return {ReadStatus::kOk, std::move(image), {}};
}

}  // namespace bootlume::picture
