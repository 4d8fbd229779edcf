// The two conversion programs, carried inside this program as byte constants
// made from the built tools at build time.
#pragma once

#include "platform/ByteBuffer.h"

namespace bootlume {

// The decoder tool: first picture of an MPEG stream to a JPEG file.
ByteView DecoderToolImage();

// The encoder tool: a picture to an MPEG-2 still within a byte budget.
ByteView EncoderToolImage();

}  // namespace bootlume
