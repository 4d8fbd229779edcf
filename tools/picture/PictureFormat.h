// Which picture format a file holds, told by its first bytes.
#pragma once

#include "platform/ByteBuffer.h"

namespace bootlume::picture {

enum class PictureFormat { kUnknown, kJpeg, kPng, kBmp, kGif };

// The format whose signature the bytes begin with; the file name plays no part.
PictureFormat DetectPictureFormat(ByteView file);

}  // namespace bootlume::picture
