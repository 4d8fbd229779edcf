// Smooth resizing of decoded pictures for display.
#pragma once

#include "ui/RgbPicture.h"

namespace bootlume {

// Resizes to width x height with a filter whose support widens with the
// reduction (a tent over each target pixel's footprint), so that shrinking
// averages the source pixels and enlarging interpolates between them; never
// pixel dropping. An empty source or target size gives an empty picture.
RgbPicture ScalePicture(const RgbPicture& source, int width, int height);

}  // namespace bootlume
