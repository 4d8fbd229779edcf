#include "tools/decoder/PictureDecoder.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <vector>

#include "tools/decoder/FieldFill.h"

extern "C" {
#include <libavutil/error.h>
#include <libavutil/log.h>
}

namespace bootlume::decoder {
namespace {

// Refuses a frame buffer beyond the supported picture size: a later sequence
// header could declare a larger size than the one checked beforehand.
int BoundedGetBuffer(AVCodecContext* context, AVFrame* frame, int flags) {
  if (frame->width > kMaxPictureWidth || frame->height > kMaxPictureHeight) return AVERROR(EINVAL);
  return avcodec_default_get_buffer2(context, frame, flags);
}

// The stream goes to the parser in pieces of this size. The parser and the
// decoder may read a little past the end of their input, so the last piece
// is copied into a buffer with zeroed padding; the earlier pieces are
// followed by more of the stream.
constexpr std::size_t kParserPiece = 64 * 1024;
constexpr std::size_t kPadding = AV_INPUT_BUFFER_PADDING_SIZE;

// libavcodec tells how much of a picture it had to conceal only in its log:
// "concealing %d DC, %d AC, %d MV errors in %c frame", counting macroblocks.
// While one decoder runs, this catches the first such report (the one of the
// first picture, which is the picture that comes out) and passes every
// message on to libav's own output, which the log level filters.
class ConcealmentReport {
 public:
  ConcealmentReport() {
    active_ = this;
    av_log_set_callback(Catch);
  }
  ~ConcealmentReport() {
    av_log_set_callback(av_log_default_callback);
    active_ = nullptr;
  }
  ConcealmentReport(const ConcealmentReport&) = delete;
  ConcealmentReport& operator=(const ConcealmentReport&) = delete;

  // Macroblocks concealed in the first reported picture; -1 when none was reported.
  int Concealed() const { return concealed_; }

 private:
  static void Catch(void* source, int level, const char* format, va_list arguments) {
    static constexpr char kReport[] = "concealing %d DC, %d AC, %d MV errors";
    if (active_ != nullptr && active_->concealed_ < 0 && format != nullptr &&
        std::strncmp(format, kReport, sizeof kReport - 1) == 0) {
      va_list copy;
      va_copy(copy, arguments);
      const int dc = va_arg(copy, int);
      const int ac = va_arg(copy, int);
      const int mv = va_arg(copy, int);
      va_end(copy);
      active_->concealed_ = std::max({dc, ac, mv});
    }
    av_log_default_callback(source, level, format, arguments);
  }

  static inline ConcealmentReport* active_ = nullptr;
  int concealed_ = -1;
};

class FirstPictureDecoder {
 public:
  explicit FirstPictureDecoder(const StreamSurvey& survey) : survey_(survey) { result_.mpeg2 = survey.mpeg2; }

  DecodedPicture Run(StreamBytes stream) {
    const AVCodecID id = result_.mpeg2 ? AV_CODEC_ID_MPEG2VIDEO : AV_CODEC_ID_MPEG1VIDEO;
    const AVCodec* codec = avcodec_find_decoder(id);
    if (codec == nullptr) return Fail("this libavcodec has no MPEG-1/2 video decoder");
    context_.reset(avcodec_alloc_context3(codec));
    parser_.reset(av_parser_init(id));
    packet_.reset(av_packet_alloc());
    frame_.reset(av_frame_alloc());
    if (!context_ || !parser_ || !packet_ || !frame_) return Fail("out of memory");
    // One thread: a single still gains little from more, and memory stays small.
    context_->thread_count = 1;
    context_->thread_type = 0;
    context_->max_pixels = static_cast<std::int64_t>(kMaxPictureWidth) * kMaxPictureHeight;
    context_->get_buffer2 = BoundedGetBuffer;
    if (avcodec_open2(context_.get(), codec, nullptr) < 0) return Fail("the MPEG video decoder could not start");

    std::vector<std::uint8_t> lastPiece;
    const std::uint8_t* next = stream.data();
    std::size_t left = stream.size();
    std::size_t unfinished = 0;  // bytes fed since the parser last delivered a picture
    // Cut the stream into coded pictures and decode them until one comes out.
    for (;;) {
      const bool flushing = left == 0;
      std::size_t piece = std::min(left, kParserPiece);
      const std::uint8_t* data = next;
      if (!flushing && left <= kParserPiece + kPadding) {
        piece = left;
        lastPiece.assign(next, next + left);
        lastPiece.resize(left + kPadding, 0);
        data = lastPiece.data();
      }
      std::uint8_t* picture = nullptr;
      int pictureSize = 0;
      const int used =
          av_parser_parse2(parser_.get(), context_.get(), &picture, &pictureSize, flushing ? nullptr : data,
                           static_cast<int>(piece), AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
      if (used < 0) break;
      next += used;
      left -= static_cast<std::size_t>(used);
      unfinished += static_cast<std::size_t>(used);
      if (pictureSize > 0) {
        unfinished = 0;
        if (static_cast<std::size_t>(pictureSize) > kMaxCodedPictureBytes) {
          return Fail("a coded picture is larger than " + std::to_string(kMaxCodedPictureBytes >> 20) + " MiB");
        }
        if (++codedPictures_ > kMaxCodedPictures) {
          return Fail("no picture came out of the first " + std::to_string(kMaxCodedPictures) + " coded pictures");
        }
        if (Send(picture, pictureSize)) return Finish();
      } else if (unfinished > kMaxCodedPictureBytes) {
        return Fail("a coded picture is larger than " + std::to_string(kMaxCodedPictureBytes >> 20) + " MiB");
      }
      if (flushing) break;
    }
    // The last picture of a stream leaves the decoder only when it is drained.
    if (Send(nullptr, 0)) return Finish();
    return Fail("no decodable picture");
  }

 private:
  // Feeds one coded picture (or the drain request); true once a picture came out.
  bool Send(const std::uint8_t* data, int size) {
    packet_->data = const_cast<std::uint8_t*>(data);
    packet_->size = size;
    const int sent = avcodec_send_packet(context_.get(), data == nullptr ? nullptr : packet_.get());
    av_packet_unref(packet_.get());
    if (sent < 0 && sent != AVERROR(EAGAIN)) {
      lastError_ = sent;
      if (sent == AVERROR_EOF) return false;
    }
    const int received = avcodec_receive_frame(context_.get(), frame_.get());
    if (received == 0) return true;
    if (received != AVERROR(EAGAIN) && received != AVERROR_EOF) lastError_ = received;
    return false;
  }

  // Takes the picture that came out, unless the decoder had to make up
  // nearly all of it: fewer good macroblocks than one row holds is no picture.
  DecodedPicture Finish() {
    result_.concealed = frame_->decode_error_flags != 0 || (frame_->flags & AV_FRAME_FLAG_CORRUPT) != 0;
    if (result_.concealed) {
      const int columns = (frame_->width + 15) / 16;
      const int macroblocks = columns * ((frame_->height + 15) / 16);
      const int concealed = report_.Concealed();
      const bool nothingDecoded = concealed >= 0 ? macroblocks - concealed < columns : !survey_.hasWholeSlice;
      if (nothingDecoded) return Fail("no part of the first picture could be decoded");
    }
    // A lone first field leaves the other field's rows undefined in the frame.
    if (survey_.firstPictureStructure != kFramePicture && !survey_.hasSecondField) {
      if (!InterpolateMissingField(*frame_, survey_.firstPictureStructure)) return Fail("out of memory");
      result_.singleField = true;
    }
    result_.frame = std::move(frame_);
    return std::move(result_);
  }

  DecodedPicture Fail(std::string why) {
    if (lastError_ < 0) {
      char text[AV_ERROR_MAX_STRING_SIZE] = {};
      av_strerror(lastError_, text, sizeof text);
      why += std::string(" (") + text + ")";
    }
    result_.failure = std::move(why);
    return std::move(result_);
  }

  const StreamSurvey& survey_;
  ConcealmentReport report_;
  DecodedPicture result_;
  CodecContextPtr context_;
  ParserPtr parser_;
  PacketPtr packet_;
  FramePtr frame_;
  int codedPictures_ = 0;
  int lastError_ = 0;
};

}  // namespace

DecodedPicture DecodeFirstPicture(StreamBytes stream, const StreamSurvey& survey) {
  const std::size_t start = survey.sequenceHeader.value_or(0);
  return FirstPictureDecoder(survey).Run(stream.subspan(start));
}

}  // namespace bootlume::decoder
