#include "tools/decoder/PictureScaler.h"

#include <cstring>

#include "tools/decoder/LibavHandles.h"

extern "C" {
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libavutil/pixfmt.h>
}

namespace bootlume::decoder {
namespace {

// The stream's matrix_coefficients byte, which libavcodec copies into the
// frame unchecked: the field may hold a value no AVColorSpace enumerator has,
// and loading it as the enum would be undefined, so its bytes are read.
int MatrixCoefficientsOf(const AVFrame& frame) {
  static_assert(sizeof(frame.colorspace) == sizeof(int));
  int code = 0;
  std::memcpy(&code, &frame.colorspace, sizeof code);
  return code;
}

// swscale's coefficient table for the frame's matrix_coefficients.
int SwsColorspace(int matrixCoefficients) {
  switch (matrixCoefficients) {
    case AVCOL_SPC_BT709:
      return SWS_CS_ITU709;
    case AVCOL_SPC_FCC:
      return SWS_CS_FCC;
    case AVCOL_SPC_SMPTE240M:
      return SWS_CS_SMPTE240M;
    default:
      return SWS_CS_ITU601;  // BT.470 B/G, SMPTE 170M, and streams that say nothing
  }
}

// Chroma sample position within the luma grid, in 1/256 of a luma sample.
struct ChromaPosition {
  int horizontal;
  int vertical;
};

ChromaPosition SitingOf(AVChromaLocation location, bool mpeg2) {
  switch (location) {
    case AVCHROMA_LOC_LEFT:
      return {0, 128};
    case AVCHROMA_LOC_CENTER:
      return {128, 128};
    case AVCHROMA_LOC_TOPLEFT:
      return {0, 0};
    case AVCHROMA_LOC_TOP:
      return {128, 0};
    case AVCHROMA_LOC_BOTTOMLEFT:
      return {0, 256};
    case AVCHROMA_LOC_BOTTOM:
      return {128, 256};
    default:
      // MPEG-2 sites chroma with the left luma sample, MPEG-1 between the samples.
      return mpeg2 ? ChromaPosition{0, 128} : ChromaPosition{128, 128};
  }
}

// Where the chroma samples of `format` lie: sited as the stream says in a
// subsampled direction, on the luma samples in a full-resolution one.
ChromaPosition ChromaPositionOf(AVPixelFormat format, AVChromaLocation location, bool mpeg2) {
  ChromaPosition position = SitingOf(location, mpeg2);
  const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(format);
  if (descriptor == nullptr || descriptor->log2_chroma_w == 0) position.horizontal = 0;
  if (descriptor == nullptr || descriptor->log2_chroma_h == 0) position.vertical = 0;
  return position;
}

constexpr int kRowAlignment = 64;

}  // namespace

std::optional<RgbPicture> ScaleToRgb(const AVFrame& frame, bool mpeg2, int width, int height) {
  const auto format = static_cast<AVPixelFormat>(frame.format);
  ScalerPtr scaler(sws_alloc_context());
  if (!scaler) return std::nullopt;
  const ChromaPosition chroma = ChromaPositionOf(format, frame.chroma_location, mpeg2);
  SwsContext* context = scaler.get();
  av_opt_set_int(context, "srcw", frame.width, 0);
  av_opt_set_int(context, "srch", frame.height, 0);
  av_opt_set_pixel_fmt(context, "src_format", format, 0);
  av_opt_set_int(context, "dstw", width, 0);
  av_opt_set_int(context, "dsth", height, 0);
  av_opt_set_pixel_fmt(context, "dst_format", AV_PIX_FMT_RGB24, 0);
  av_opt_set_int(context, "sws_flags", SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT | SWS_FULL_CHR_H_INP, 0);
  av_opt_set_int(context, "src_range", 0, 0);
  av_opt_set_int(context, "dst_range", 1, 0);
  av_opt_set_int(context, "src_h_chr_pos", chroma.horizontal, 0);
  av_opt_set_int(context, "src_v_chr_pos", chroma.vertical, 0);
  if (sws_init_context(context, nullptr, nullptr) < 0) return std::nullopt;
  const int* matrix = sws_getCoefficients(SwsColorspace(MatrixCoefficientsOf(frame)));
  if (sws_setColorspaceDetails(context, matrix, 0, sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16) < 0) {
    return std::nullopt;
  }

  RgbPicture picture;
  picture.width = width;
  picture.height = height;
  picture.stride = (width * 3 + kRowAlignment - 1) / kRowAlignment * kRowAlignment;
  // One spare row: vector code may write a little past a row's end.
  picture.pixels.resize(static_cast<std::size_t>(picture.stride) * (height + 1) + kRowAlignment);
  std::uint8_t* destination[4] = {picture.pixels.data(), nullptr, nullptr, nullptr};
  const int destinationStride[4] = {picture.stride, 0, 0, 0};
  const int rows = sws_scale(context, frame.data, frame.linesize, 0, frame.height, destination, destinationStride);
  if (rows != height) return std::nullopt;
  return picture;
}

}  // namespace bootlume::decoder
