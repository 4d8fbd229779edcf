// Recognition of the picture formats the picture view knows, from the first
// bytes of the data.
#pragma once

#include "platform/ByteBuffer.h"

namespace bootlume {

enum class PictureFormat { kUnrecognised, kBmp, kJpeg, kIcon, kCursor, kGif, kPcx8, kPcx1 };

// Looks at the first six bytes only; fewer than six bytes are unrecognised.
PictureFormat RecognisePictureFormat(ByteView bytes);

}  // namespace bootlume
