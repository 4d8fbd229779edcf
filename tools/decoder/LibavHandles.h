// Owners of the libav objects the decoder uses: each is released by the
// matching libav call when its owner goes, on every path.
#pragma once

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libswscale/swscale.h>
}

namespace bootlume::decoder {

struct CodecContextRelease {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct ParserRelease {
  void operator()(AVCodecParserContext* parser) const { av_parser_close(parser); }
};
struct PacketRelease {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct FrameRelease {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct ScalerRelease {
  void operator()(SwsContext* scaler) const { sws_freeContext(scaler); }
};

using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextRelease>;
using ParserPtr = std::unique_ptr<AVCodecParserContext, ParserRelease>;
using PacketPtr = std::unique_ptr<AVPacket, PacketRelease>;
using FramePtr = std::unique_ptr<AVFrame, FrameRelease>;
using ScalerPtr = std::unique_ptr<SwsContext, ScalerRelease>;

}  // namespace bootlume::decoder
