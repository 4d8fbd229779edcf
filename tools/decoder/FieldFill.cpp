#include "tools/decoder/FieldFill.h"

#include "tools/decoder/StreamSurvey.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

namespace bootlume::decoder {

bool InterpolateMissingField(AVFrame& frame, int presentField) {
  if (av_frame_make_writable(&frame) < 0) return false;
  const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(frame.format));
  if (descriptor == nullptr || (descriptor->flags & AV_PIX_FMT_FLAG_PLANAR) == 0) return false;
  // In an interlaced frame the top field holds the even rows of every plane.
  const int missingParity = presentField == kTopField ? 1 : 0;
  for (int plane = 0; plane < descriptor->nb_components; ++plane) {
    const bool chroma = plane == 1 || plane == 2;
    const int width = chroma ? AV_CEIL_RSHIFT(frame.width, descriptor->log2_chroma_w) : frame.width;
    const int height = chroma ? AV_CEIL_RSHIFT(frame.height, descriptor->log2_chroma_h) : frame.height;
    if (height < 2) continue;
    std::uint8_t* rows = frame.data[plane];
    const int stride = frame.linesize[plane];
    for (int y = missingParity; y < height; y += 2) {
      const std::uint8_t* above = y > 0 ? rows + (y - 1) * stride : rows + (y + 1) * stride;
      const std::uint8_t* below = y + 1 < height ? rows + (y + 1) * stride : above;
      std::uint8_t* row = rows + y * stride;
      for (int x = 0; x < width; ++x) row[x] = static_cast<std::uint8_t>((above[x] + below[x] + 1) >> 1);
    }
  }
  return true;
}

}  // namespace bootlume::decoder
