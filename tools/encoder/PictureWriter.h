// Writes a planned still as an MPEG-2 stream, slices, macroblocks and blocks
// exactly as the cost model counted them, and reconstructs the picture as a
// decoder does.
#pragma once

#include "tools/encoder/CostModel.h"
#include "tools/encoder/Plan.h"
#include "tools/encoder/StillEncoder.h"
#include "tools/encoder/StreamHeaders.h"

namespace bootlume::encoder {

// The stream of `plan` with the model's current DCT types, its coding, mean
// quantiser scale and field DCT count, and the decoded picture if
// `reconstruct`; attempts and smallest size are the caller's to fill.
EncodeResult WritePicture(const CostModel& model, const SequenceFormat& format, const Plan& plan, bool reconstruct);

}  // namespace bootlume::encoder
