// The rate search: the least distorted plan of a still within a byte limit,
// Lagrangian decisions over the cost model's bits and distortion (the steps
// are outlined at the top of StillEncoder.cpp).
#pragma once

#include <cstdint>

#include "tools/encoder/CostModel.h"
#include "tools/encoder/Plan.h"
#include "tools/encoder/StillEncoder.h"

namespace bootlume::encoder {

class RateSearch {
 public:
  // Searches over `model` (which must outlive the search) as `tuning` allows.
  RateSearch(CostModel& model, const EncoderTuning& tuning);

  // The smallest stream: every macroblock without AC coefficients, with the
  // shorter end-of-block code of table zero unless the tuning fixes the
  // table. Asked first, so that it is counted with frame DCT.
  Plan Smallest();
  // The least distorted plan within `limit` bytes, or the smallest stream of
  // the table chosen when none fits. A fixed quantiser in the tuning gives
  // every macroblock that one, whatever its size.
  Plan Best(std::int64_t limit);
  // Cost evaluations so far.
  int Attempts() const { return attempts_; }

 private:
  struct Estimate {
    std::int64_t bytes;
    double distortion;
  };
  Estimate SampledUniform(int format, int code);
  int CoarseCode(int format, std::int64_t limit, double& distortionAtLimit);
  Plan Evaluate(int format, double lambda, int firstCode, int lastCode);
  void Account(Plan& plan);
  Plan Fill(const Plan& fits, const Plan& over, std::int64_t limit);
  Plan Search(int format, int fitting, std::int64_t limit);
  Plan Finest(int format, Plan best, std::int64_t limit);

  CostModel& model_;
  EncoderTuning tuning_;
  int mbWidth_ = 0;
  int mbHeight_ = 0;
  int attempts_ = 0;
};

}  // namespace bootlume::encoder
