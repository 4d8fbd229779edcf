// How a still is encoded; each step has its own file:
//  1. CostModel: every block is transformed once (luminance as frame and as
//     field blocks); DC and AC are then handled apart. Per macroblock and
//     quantiser, the trellis gives each block's AC bits and distortion
//     (cached per quantiser); DC levels follow a Viterbi search along each
//     prediction chain; frame or field DCT is chosen per macroblock by cost.
//     Distortion is squared error weighted by how much each component weighs
//     in R'G'B'.
//  2. RateSearch: sampled estimates locate the uniform quantiser that fits
//     for each intra VLC table and pick the table; a bisection on the
//     Lagrangian lambda then lets every macroblock choose among neighbouring
//     quantisers (a Viterbi search per row, quantiser changes paying their
//     bits); a second pass re-runs the trellis with the lambda found; a last
//     fill takes over macroblock choices of the plan just above the limit.
//  3. PictureWriter: the Plan is written exactly as counted, with a
//     decoder's reconstruction alongside.
//  4. Here: a final check falls back to the smallest stream should the
//     written stream ever be longer than allowed.
#include "tools/encoder/StillEncoder.h"

#include <algorithm>

#include "tools/encoder/CostModel.h"
#include "tools/encoder/PictureWriter.h"
#include "tools/encoder/Plan.h"
#include "tools/encoder/RateSearch.h"

namespace bootlume::encoder {

SequenceFormat FormatOf(TvSystem system) {
  SequenceFormat format;
  if (system == TvSystem::kNtsc) {
    format.height = 480;
    format.frameRateCode = 5;  // 30 Hz
    format.videoFormat = 2;
    format.colourPrimaries = 6;  // SMPTE 170M; BT.601 matrix
    format.transferCharacteristics = 6;
    format.matrixCoefficients = 6;
  }
  return format;
}

EncodeResult EncodeStill(const picture::Planes420& frame, TvSystem system, std::int64_t budgetBytes,
                         const EncoderTuning& tuning) {
  const SequenceFormat format = FormatOf(system);
  if (frame.width != format.width || frame.height != format.height ||
      frame.y.size() != static_cast<std::size_t>(frame.width) * frame.height ||
      frame.cb.size() != frame.y.size() / 4 || frame.cr.size() != frame.y.size() / 4) {
    EncodeResult result;
    result.status = EncodeStatus::kBadFrameSize;
    return result;
  }
  CostModel model(frame, format, tuning);
  RateSearch search(model, tuning);
  const Plan smallest = search.Smallest();
  EncodeResult result;
  if (smallest.bytes > budgetBytes) {
    result.status = EncodeStatus::kDoesNotFit;
  } else {
    const std::int64_t limit = std::min(budgetBytes, kVbvBufferBytes);
    result = WritePicture(model, format, search.Best(limit), tuning.reconstruct);
    // The written stream must be what the plan counted; should it ever be
    // longer than allowed (or a fixed quantiser in the tuning not fit), the
    // smallest stream is delivered instead, with frame DCT as it was counted.
    if (static_cast<std::int64_t>(result.stream.size()) > limit) {
      model.UseFrameDct();
      result = WritePicture(model, format, smallest, tuning.reconstruct);
    }
  }
  result.smallestBytes = smallest.bytes;
  result.attempts = search.Attempts();
  return result;
}

}  // namespace bootlume::encoder
