// The boot picture of a firmware image as JPEG bytes, made by the decoder
// tool in the work directory.
#pragma once

#include "engine/PictureSlot.h"
#include "platform/ByteBuffer.h"
#include "platform/Text.h"

namespace bootlume {

enum class PreviewError {
  kNone,
  kNoPicture,         // the image holds no boot picture
  kWorkAreaUnusable,  // no work directory to hand the stream over in
  kDecoderDidNotRun,  // the decoder tool could not be started
  kDecoderGaveNoPicture,
};

struct Preview {
  ByteBuffer jpeg;  // empty on any failure
  PreviewError error = PreviewError::kNone;
};

// The JPEG file (720x480) the decoder tool makes of the image's boot picture;
// empty when there is none. The image is only read.
ByteBuffer PreviewBootPicture(ByteView image);

// The same for a given slot of the image, with the reason of a failure.
Preview PreviewSlotPicture(ByteView image, const PictureSlot& slot);

// The decoder's command line: "<dir>ffmpge.exe -i <dir>1.mpg -y -f image2
// -t 0.001 -s 720x480 <dir>1.jpg", paths quoted only when they hold blanks.
Text DecoderCommandLine();

}  // namespace bootlume
