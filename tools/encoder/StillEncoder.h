// The encoder core: one Y'CbCr 4:2:0 frame in, the best MPEG-2 intra still
// that fits a byte budget out.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/encoder/StreamHeaders.h"
#include "tools/picture/PictureInput.h"

namespace bootlume::encoder {

enum class TvSystem { kPal, kNtsc };

// Frame size, rate and colour description of each system.
SequenceFormat FormatOf(TvSystem system);

// Fixed choices, for tests and experiments; the defaults choose by cost.
struct EncoderTuning {
  int intraVlcFormat = -1;     // 0 or 1; -1 chooses
  int intraDcPrecision = -1;   // 0..2 (8..10 bits); -1 chooses
  int quantiserScaleCode = 0;  // 1..31 codes every macroblock with it; 0 searches
  enum class Dct { kChoose, kFrame, kField } dct = Dct::kChoose;
  bool nonLinearScale = true;  // q_scale_type
  bool alternateScan = false;
  double lambdaFactor = 0.2;   // trellis lambda = factor * quantiser_scale^2
  // Weight of a chroma sample's squared error against a luma sample's. After
  // 4:2:0 upsampling and conversion to R'G'B' a Cb error spreads over four
  // pixels and weighs about 4.2 times a luma error there, a Cr error 3.2.
  double cbWeight = 4.2;
  double crWeight = 3.2;
  bool refine = true;  // a second search with one trellis lambda for all quantisers
  bool reconstruct = true;  // deliver the decoded picture as well
};

enum class EncodeStatus {
  kOk,
  kDoesNotFit,     // even the smallest stream of the picture is over budget
  kBadFrameSize,   // the planes are not the system's frame size
};

struct EncodeResult {
  EncodeStatus status = EncodeStatus::kDoesNotFit;
  std::vector<std::uint8_t> stream;
  picture::Planes420 reconstruction;  // the decoded picture, with an exact inverse DCT (if asked for)
  std::int64_t smallestBytes = 0;     // the smallest stream this picture can have
  PictureCoding coding;
  double meanQuantiserScale = 0;
  int fieldDctMacroblocks = 0;
  int attempts = 0;                   // cost evaluations of the budget search
};

// Encodes `frame` (exactly the system's frame size) as the stream of lowest
// distortion that is at most `budgetBytes` long, or reports that none fits.
// A budget beyond what the picture can use gives its best stream.
EncodeResult EncodeStill(const picture::Planes420& frame, TvSystem system, std::int64_t budgetBytes,
                         const EncoderTuning& tuning = {});

}  // namespace bootlume::encoder
