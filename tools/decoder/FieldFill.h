// Completing a frame of which only one field was coded.
#pragma once

extern "C" {
#include <libavutil/frame.h>
}

namespace bootlume::decoder {

// Fills the rows of the field that is missing (the other one than
// `presentField`, kTopField or kBottomField) in every plane by interpolating
// between the rows of the present field around them. False when the frame
// cannot be made writable.
bool InterpolateMissingField(AVFrame& frame, int presentField);

}  // namespace bootlume::decoder
