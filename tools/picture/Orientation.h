// EXIF orientation: how a camera says its picture must be turned to stand
// upright, and turning it.
#pragma once

#include "platform/ByteBuffer.h"
#include "tools/picture/PictureInput.h"

namespace bootlume::picture {

// The orientation tag (1..8) of an EXIF block, that is the payload of a JPEG
// APP1 segment after "Exif\0\0" (a TIFF header and its first IFD). 1 (upright)
// when the tag is absent, out of range or the block is damaged; every read is
// bounds-checked.
int ExifOrientation(ByteView tiff);

// Orientations 5..8 turn the picture by a quarter: width and height swap.
bool SwapsSides(int orientation);

// The picture as it displays: mirrored and/or turned as `orientation` says.
RgbImage ApplyOrientation(RgbImage image, int orientation);

}  // namespace bootlume::picture
