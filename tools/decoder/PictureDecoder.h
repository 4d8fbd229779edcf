// Decodes the first complete picture of an MPEG-1/2 video elementary stream
// held in memory with libavcodec: both fields of a field-coded frame, and
// nothing after the first picture that comes out. A damaged picture is
// delivered with its gaps concealed, unless not even one macroblock row of
// it could be decoded; a first field without its second one is completed by
// interpolation.
#pragma once

#include <string>

#include "tools/decoder/LibavHandles.h"
#include "tools/decoder/StreamSurvey.h"

namespace bootlume::decoder {

// At most this many coded pictures (fields count singly) are fed to the
// decoder while it has not delivered a picture.
inline constexpr int kMaxCodedPictures = 16;

// A coded picture larger than this is refused: MPEG-2's largest VBV buffer
// (4:2:2 profile, High level) holds under 6 MiB, and a longer run of slices
// would only be work for a hostile stream.
inline constexpr std::size_t kMaxCodedPictureBytes = 8u << 20;

struct DecodedPicture {
  FramePtr frame;  // planar Y'CbCr at the stream's size; empty on failure
  bool mpeg2 = false;
  bool concealed = false;    // the decoder filled in damaged parts (some of it decoded)
  bool singleField = false;  // only the first field was there; the other one is interpolated
  std::string failure;       // why there is no picture
};

// `survey` is SurveyStream(stream); its sequence header must be present and
// its size supported. Not reentrant: libav's log callback is borrowed meanwhile.
DecodedPicture DecodeFirstPicture(StreamBytes stream, const StreamSurvey& survey);

}  // namespace bootlume::decoder
