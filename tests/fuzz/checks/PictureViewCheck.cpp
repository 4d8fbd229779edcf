// The picture view's content on arbitrary bytes: format recognition, JPEG
// decoding in 4096-byte chunks, placement and scaling for the window's view.
// The display mode is the input's length modulo 4.
// Properties: the view gives back exactly the bytes written; the format is
// the one the signature table names; only JPEG is decoded, to a picture of
// at most kMaxDecodedPixels whose pixel count matches its size; the chunked
// decoding gives exactly what libjpeg's own one-piece memory source gives
// (both complete a cut-off picture with an end marker); the placement
// follows the display mode and the scaled picture has the placement's size.
#include <csetjmp>
#include <cstddef>
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <cstdlib>
#include <string>

#include <jerror.h>
#include <jpeglib.h>

#include "tests/fuzz/checks/FuzzChecks.h"
#include "ui/JpegDecoder.h"
#include "ui/PictureContent.h"
#include "ui/PictureFormat.h"

namespace bootlume::fuzz {
namespace {

constexpr int kViewWidth = 352;
constexpr int kViewHeight = 264;
// Pictures larger than this are not decoded a second time for comparison.
constexpr long long kCompareLimit = 4LL << 20;

PictureFormat ExpectedFormat(ByteView b) {
  if (b.size() < 6) return PictureFormat::kUnrecognised;
  const unsigned count = b[4] + 256u * b[5];
  if (b[0] == 'B' && b[1] == 'M') return PictureFormat::kBmp;
  if (b[0] == 0xFF && b[1] == 0xD8) return PictureFormat::kJpeg;
  if (b[0] == 0 && b[1] == 0 && b[2] == 1 && b[3] == 0 && count > 0) return PictureFormat::kIcon;
  if (b[0] == 0 && b[1] == 0 && b[2] == 2 && b[3] == 0 && count > 0) return PictureFormat::kCursor;
  const std::string_view head(reinterpret_cast<const char*>(b.data()), 6);
  if (head == "GIF87a" || head == "GIF89a") return PictureFormat::kGif;
  if (b[0] == 0x0A && b[1] <= 5 && b[2] == 1 && b[3] == 8) return PictureFormat::kPcx8;
  if (b[0] == 0x0A && b[1] == 3 && b[2] == 1 && b[3] == 1) return PictureFormat::kPcx1;
  return PictureFormat::kUnrecognised;
}

// libjpeg with its own memory source, the whole input at once. Plain C data
// only between setjmp and return.
struct Reference {
  int status;  // 0 failed, 1 decoded, 2 too large to compare, 3 beyond the view's limit
  int width, height, components;
  unsigned char* pixels;  // malloc'ed
};

struct Trap {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

[[noreturn]] void TrapExit(j_common_ptr info) { std::longjmp(reinterpret_cast<Trap*>(info->err)->jump, 1); }
void Quiet(j_common_ptr, int) {}
void QuietOutput(j_common_ptr) {}

void DecodeReference(const unsigned char* data, unsigned long size, Reference* out) {
  jpeg_decompress_struct info;
  Trap trap;
  out->status = 0;
  out->pixels = nullptr;
  info.err = jpeg_std_error(&trap.manager);
  trap.manager.error_exit = TrapExit;
  trap.manager.emit_message = Quiet;
  trap.manager.output_message = QuietOutput;
  if (setjmp(trap.jump)) {
    jpeg_destroy_decompress(&info);
    std::free(out->pixels);
    out->pixels = nullptr;
    out->status = 0;
    return;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, data, size);
  jpeg_read_header(&info, TRUE);
  jpeg_start_decompress(&info);
  const long long count = static_cast<long long>(info.output_width) * info.output_height;
  out->width = static_cast<int>(info.output_width);
  out->height = static_cast<int>(info.output_height);
  out->components = info.output_components;
  if (count > kMaxDecodedPixels) {
    out->status = 3;
    jpeg_destroy_decompress(&info);
    return;
  }
  // A picture too large to keep is still decoded to its end, one row at a
  // time: whether libjpeg decodes it at all may be decided by its last bytes.
  const bool keep = count <= kCompareLimit;
  const std::size_t row = static_cast<std::size_t>(info.output_width) * info.output_components;
  out->pixels = static_cast<unsigned char*>(std::malloc(keep ? row * info.output_height + 1 : row + 1));
  while (info.output_scanline < info.output_height) {
    JSAMPROW at = out->pixels + (keep ? row * info.output_scanline : 0);
    jpeg_read_scanlines(&info, &at, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  out->status = keep ? 1 : 2;
}

CheckResult CompareWithReference(ByteView input, const std::optional<RgbPicture>& decoded) {
  Reference reference{};
  DecodeReference(input.data(), input.size(), &reference);
  CheckResult result = CheckResult::Pass();
  if (reference.status == 0 || reference.status == 3) {
    if (decoded) result = CheckResult::Fail("decoded a picture that libjpeg refuses or the limit excludes");
  } else if (!decoded) {
    result = CheckResult::Fail("no picture where libjpeg decodes one");
  } else if (decoded->width != reference.width || decoded->height != reference.height) {
    result = CheckResult::Fail("decoded at a different size from libjpeg's");
  } else if (reference.status == 1 && (reference.components == 1 || reference.components == 3)) {
    const std::size_t count = static_cast<std::size_t>(reference.width) * reference.height;
    for (std::size_t i = 0; i < count * 3; ++i) {
      const unsigned char expected =
          reference.components == 3 ? reference.pixels[i] : reference.pixels[i / 3];
      if (decoded->pixels[i] != expected) {
        result = CheckResult::Fail("chunked decoding differs from libjpeg's at sample " + std::to_string(i));
        break;
      }
    }
  }
  std::free(reference.pixels);
  return result;
}

}  // namespace

CheckResult CheckPictureView(ByteView input) {
  PictureContent::Settings settings;
  settings.displayMode = static_cast<int>(input.size() % 4);
  PictureContent content(settings);
  content.SetPicture(input);

  const ByteBuffer held = content.Picture();
  if (ByteView(held).size() != input.size() || !std::equal(held.begin(), held.end(), input.begin())) {
    return CheckResult::Fail("the view does not give back the bytes written");
  }
  const PictureFormat expected = ExpectedFormat(input);
  if (content.Format() != expected || RecognisePictureFormat(input) != expected) {
    return CheckResult::Fail("format " + std::to_string(static_cast<int>(content.Format())) + " recognised, " +
                             std::to_string(static_cast<int>(expected)) + " expected");
  }
  const std::optional<RgbPicture>& decoded = content.Decoded();
  if (expected != PictureFormat::kJpeg) {
    return decoded ? CheckResult::Fail("a picture decoded from a format other than JPEG") : CheckResult::Pass();
  }
  if (decoded) {
    const long long count = static_cast<long long>(decoded->width) * decoded->height;
    if (decoded->width <= 0 || decoded->height <= 0 || count > kMaxDecodedPixels ||
        decoded->pixels.size() != static_cast<std::size_t>(count) * 3) {
      return CheckResult::Fail("a decoded picture of an impossible size");
    }
  }
  if (CheckResult result = CompareWithReference(input, decoded); !result.Passed()) return result;
  if (!decoded) {
    return content.ScaledFor(kViewWidth, kViewHeight) == nullptr ? CheckResult::Pass()
                                                                   : CheckResult::Fail("a scaled picture of nothing");
  }

  const PictureRect place = content.Placement(kViewWidth, kViewHeight);
  const int w = decoded->width, h = decoded->height;
  bool placedRight = place.width > 0 && place.height > 0;
  switch (settings.displayMode) {
    case 0:
      placedRight = placedRight && place == PictureRect{0, 0, w, h};
      break;
    case 2:
      placedRight = placedRight && place.x >= 0 && place.y >= 0 && place.x + place.width <= kViewWidth &&
                    place.y + place.height <= kViewHeight &&
                    (w > kViewWidth || h > kViewHeight || (place.width == w && place.height == h));
      break;
    default:
      placedRight = placedRight && place == PictureRect{0, 0, kViewWidth, kViewHeight};
  }
  if (!placedRight) return CheckResult::Fail("a wrong placement for display mode " + std::to_string(settings.displayMode));
  const RgbPicture* scaled = content.ScaledFor(kViewWidth, kViewHeight);
  if (scaled == nullptr || scaled->width != place.width || scaled->height != place.height ||
      scaled->pixels.size() != static_cast<std::size_t>(place.width) * place.height * 3) {
    return CheckResult::Fail("the scaled picture does not have the placement's size");
  }
  return CheckResult::Pass();
}

}  // namespace bootlume::fuzz
