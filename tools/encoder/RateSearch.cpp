#include "tools/encoder/RateSearch.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "tools/encoder/ParallelFor.h"

namespace bootlume::encoder {

namespace {

constexpr int kQuantChangeBits = 1 + 5;  // longer macroblock_type, quantiser_scale_code

}  // namespace

RateSearch::RateSearch(CostModel& model, const EncoderTuning& tuning)
    : model_(model), tuning_(tuning), mbWidth_(model.MbWidth()), mbHeight_(model.MbHeight()) {}

Plan RateSearch::Smallest() {
  return Evaluate(tuning_.intraVlcFormat < 0 ? 0 : tuning_.intraVlcFormat, kInfinity, 31, 31);
}

Plan RateSearch::Best(std::int64_t limit) {
  if (tuning_.quantiserScaleCode > 0) {
    const int code = tuning_.quantiserScaleCode;
    model_.ChooseDctTypes(code);
    return Evaluate(tuning_.intraVlcFormat < 0 ? 1 : tuning_.intraVlcFormat, model_.LambdaOf(code), code, code);
  }
  // Where the budget lies for each table, from samples; the table that
  // promises the lower distortion there is searched in full.
  std::array<int, 2> fitting{32, 32};
  std::array<double, 2> promise{kInfinity, kInfinity};
  const int firstFormat = tuning_.intraVlcFormat < 0 ? 0 : tuning_.intraVlcFormat;
  const int lastFormat = tuning_.intraVlcFormat < 0 ? 1 : tuning_.intraVlcFormat;
  for (int format = lastFormat; format >= firstFormat; --format) {
    fitting[static_cast<std::size_t>(format)] = CoarseCode(format, limit, promise[static_cast<std::size_t>(format)]);
    if (format == lastFormat) model_.ChooseDctTypes(std::min(fitting[static_cast<std::size_t>(format)], 31));
  }
  // Where no uniform quantiser fits, table zero's shorter end of block wins.
  const bool tableZero = promise[0] < promise[1] || (std::isinf(promise[0]) && std::isinf(promise[1]));
  const int format = firstFormat == 0 && tableZero ? 0 : lastFormat;
  Plan best = Search(format, fitting[static_cast<std::size_t>(format)], limit);
  if (std::isinf(best.distortion)) best = Evaluate(format, kInfinity, 31, 31);
  return best;
}

// Size and distortion of uniform quantisation at `code`, from every fourth
// macroblock: enough to find where the budget lies.
RateSearch::Estimate RateSearch::SampledUniform(int format, int code) {
  ++attempts_;
  const double lambda = model_.LambdaOf(code);
  std::vector<std::size_t> sample;
  for (std::size_t m = 0; m < model_.MacroblockCount(); ++m) {
    if ((m % static_cast<std::size_t>(mbWidth_) + m / static_cast<std::size_t>(mbWidth_)) % 4 == 0) sample.push_back(m);
  }
  std::vector<MacroblockCosts> coded(sample.size()), zero(sample.size());
  ParallelFor(sample.size(), [&](std::size_t first, std::size_t last) {
    for (std::size_t i = first; i < last; ++i) {
      coded[i] = model_.CostsOf(sample[i], format, code);
      zero[i] = model_.CostsOf(sample[i], format, 0);
    }
  });
  double bits = 0, distortion = 0;
  for (std::size_t i = 0; i < sample.size(); ++i) {
    for (std::size_t b = 0; b < kBlocks; ++b) {
      const double a = coded[i].distortion[b] + lambda * coded[i].bits[b];
      const double z = zero[i].distortion[b] + lambda * zero[i].bits[b];
      bits += a < z ? coded[i].bits[b] : zero[i].bits[b];
      distortion += a < z ? coded[i].distortion[b] : zero[i].distortion[b];
    }
  }
  const double scale = static_cast<double>(model_.MacroblockCount()) / static_cast<double>(sample.size());
  const DcChoice& dc = model_.DcLevels(model_.ChoosePrecision(lambda), lambda);
  distortion = distortion * scale + dc.distortion;
  bits = bits * scale + static_cast<double>(model_.MacroblockCount()) * (2 + (model_.Coding().framePredFrameDct ? 0 : 1));
  for (std::int32_t row : dc.rowBits) bits += row + kSliceHeaderBits + 4;
  return {model_.HeaderBytes() + static_cast<std::int64_t>(bits / 8), distortion};
}

// The finest uniform quantiser whose estimated size fits, by bisection (32
// when none does), and the distortion interpolated at the limit.
int RateSearch::CoarseCode(int format, std::int64_t limit, double& distortionAtLimit) {
  int low = 1, high = 31, fitting = 32;
  Estimate below{0, kInfinity}, above{0, kInfinity};  // fitting and not fitting neighbours
  while (low <= high) {
    const int code = (low + high) / 2;
    const Estimate estimate = SampledUniform(format, code);
    if (estimate.bytes <= limit) {
      fitting = code;
      below = estimate;
      high = code - 1;
    } else {
      above = estimate;
      low = code + 1;
    }
  }
  distortionAtLimit = below.distortion;
  if (std::isfinite(below.distortion) && std::isfinite(above.distortion) && above.bytes > below.bytes) {
    // Distortion falls about exponentially with the bits.
    const double t = static_cast<double>(limit - below.bytes) / static_cast<double>(above.bytes - below.bytes);
    distortionAtLimit = below.distortion * std::pow(above.distortion / below.distortion, std::clamp(t, 0.0, 1.0));
  }
  return fitting;
}

// Per row, a Viterbi search over the candidate quantisers of each macroblock
// minimises distortion + lambda * bits, a quantiser change costing its
// macroblock_type and quantiser_scale_code bits; each block may also drop its
// AC coefficients, and DC levels follow their own chain search. An infinite
// lambda gives the smallest stream.
Plan RateSearch::Evaluate(int format, double lambda, int firstCode, int lastCode) {
  ++attempts_;
  const bool zeroOnly = std::isinf(lambda);
  if (zeroOnly) firstCode = lastCode = 31;
  const int states = lastCode - firstCode + 1;
  std::array<const std::vector<MacroblockCosts>*, kCodes> columns{};
  for (int code = firstCode; code <= lastCode && !zeroOnly; ++code) columns[static_cast<std::size_t>(code)] = &model_.Column(format, code);
  const std::vector<MacroblockCosts>& zeroCosts = model_.ZeroColumn(format);

  Plan plan;
  plan.format = format;
  plan.trellisLambda = model_.TrellisLambda();
  plan.code.resize(model_.MacroblockCount());
  plan.zeroMask.resize(model_.MacroblockCount());
  plan.precision = model_.ChoosePrecision(lambda);
  const DcChoice& dc = model_.DcLevels(plan.precision, lambda);
  plan.dc = dc.dc;
  plan.rowDcBits = dc.rowBits;
  plan.dcDistortion = dc.distortion;
  const double changeCost = zeroOnly ? 0 : lambda * kQuantChangeBits;

  std::vector<std::uint8_t> back(static_cast<std::size_t>(mbWidth_ * states));
  std::vector<double> cost(static_cast<std::size_t>(states)), next(static_cast<std::size_t>(states));
  for (int mby = 0; mby < mbHeight_; ++mby) {
    for (int mbx = 0; mbx < mbWidth_; ++mbx) {
      const std::size_t m = static_cast<std::size_t>(mby * mbWidth_ + mbx);
      const MacroblockCosts& zero = zeroCosts[m];
      double bestPrevious = kInfinity;
      int bestPreviousState = 0;
      if (mbx > 0) {
        for (int s = 0; s < states; ++s) {
          if (cost[static_cast<std::size_t>(s)] < bestPrevious) {
            bestPrevious = cost[static_cast<std::size_t>(s)];
            bestPreviousState = s;
          }
        }
      }
      for (int s = 0; s < states; ++s) {
        double own = 0;
        if (!zeroOnly) {
          const MacroblockCosts& coded = (*columns[static_cast<std::size_t>(firstCode + s)])[m];
          for (std::size_t i = 0; i < kBlocks; ++i) {
            own += std::min(coded.distortion[i] + lambda * coded.bits[i], zero.distortion[i] + lambda * zero.bits[i]);
          }
        }
        double enter = 0;
        int from = s;
        if (mbx > 0) {
          enter = cost[static_cast<std::size_t>(s)];
          if (bestPrevious + changeCost < enter) {
            enter = bestPrevious + changeCost;
            from = bestPreviousState;
          }
        }
        next[static_cast<std::size_t>(s)] = enter + own;
        back[static_cast<std::size_t>(mbx * states + s)] = static_cast<std::uint8_t>(from);
      }
      std::swap(cost, next);
    }
    int state = static_cast<int>(std::min_element(cost.begin(), cost.end()) - cost.begin());
    for (int mbx = mbWidth_ - 1; mbx >= 0; --mbx) {
      const std::size_t m = static_cast<std::size_t>(mby * mbWidth_ + mbx);
      const int code = firstCode + state;
      plan.code[m] = static_cast<std::uint8_t>(code);
      const MacroblockCosts& zero = zeroCosts[m];
      std::uint8_t mask = 0;
      for (std::size_t i = 0; i < kBlocks; ++i) {
        const bool dropped = zeroOnly || zero.distortion[i] + lambda * zero.bits[i] <=
                                             (*columns[static_cast<std::size_t>(code)])[m].distortion[i] +
                                                 lambda * (*columns[static_cast<std::size_t>(code)])[m].bits[i];
        if (dropped) mask = static_cast<std::uint8_t>(mask | (1u << i));
      }
      plan.zeroMask[m] = mask;
      state = back[static_cast<std::size_t>(mbx * states + state)];
    }
  }
  Account(plan);
  return plan;
}

// Exact size and distortion of a plan: per row the slice header, each
// macroblock's modes, quantiser changes, DC and AC bits, padded to a byte.
void RateSearch::Account(Plan& plan) {
  const int modeBits = 1 + 1 + (model_.Coding().framePredFrameDct ? 0 : 1);  // address increment, type, dct_type
  const std::vector<MacroblockCosts>& zeroCosts = model_.ZeroColumn(plan.format);
  std::int64_t totalBytes = model_.HeaderBytes();
  double distortion = plan.dcDistortion;
  for (int mby = 0; mby < mbHeight_; ++mby) {
    std::int64_t rowBits = kSliceHeaderBits + plan.rowDcBits[static_cast<std::size_t>(mby)];
    for (int mbx = 0; mbx < mbWidth_; ++mbx) {
      const std::size_t m = static_cast<std::size_t>(mby * mbWidth_ + mbx);
      rowBits += modeBits + (mbx > 0 && plan.code[m] != plan.code[m - 1] ? kQuantChangeBits : 0);
      const MacroblockCosts* coded = plan.zeroMask[m] == (1u << kBlocks) - 1 ? nullptr : &model_.Column(plan.format, plan.code[m])[m];
      for (std::size_t i = 0; i < kBlocks; ++i) {
        const MacroblockCosts& costs = (plan.zeroMask[m] & (1u << i)) ? zeroCosts[m] : *coded;
        rowBits += costs.bits[i];
        distortion += costs.distortion[i];
      }
    }
    totalBytes += (rowBits + 7) / 8;
  }
  plan.bytes = totalBytes;
  plan.distortion = distortion;
}

// Between a plan that fits and one that does not, takes over the choices of
// the larger one macroblock by macroblock, those that buy the most distortion
// per bit first, as far as the limit allows.
Plan RateSearch::Fill(const Plan& fits, const Plan& over, std::int64_t limit) {
  if (fits.format != over.format || fits.trellisLambda != over.trellisLambda || fits.precision != over.precision) return fits;
  const std::vector<MacroblockCosts>& zeroCosts = model_.ZeroColumn(fits.format);
  auto macroblockCost = [&](const Plan& plan, std::size_t m, double& distortion) {
    const MacroblockCosts* coded = plan.zeroMask[m] == (1u << kBlocks) - 1 ? nullptr : &model_.Column(plan.format, plan.code[m])[m];
    int bits = 0;
    distortion = 0;
    for (std::size_t i = 0; i < kBlocks; ++i) {
      const MacroblockCosts& costs = (plan.zeroMask[m] & (1u << i)) ? zeroCosts[m] : *coded;
      bits += costs.bits[i];
      distortion += costs.distortion[i];
    }
    return bits;
  };
  struct Change {
    std::size_t m;
    double gainPerBit;
  };
  std::vector<Change> changes;
  for (std::size_t m = 0; m < model_.MacroblockCount(); ++m) {
    if (fits.code[m] == over.code[m] && fits.zeroMask[m] == over.zeroMask[m]) continue;
    double before = 0, after = 0;
    const int bits = macroblockCost(over, m, after) - macroblockCost(fits, m, before);
    if (after < before) changes.push_back({m, (before - after) / std::max(bits, 1)});
  }
  std::sort(changes.begin(), changes.end(), [](const Change& a, const Change& b) { return a.gainPerBit > b.gainPerBit; });
  Plan best = fits;
  std::size_t low = 0, high = changes.size();  // `low` changes fit
  while (low < high) {
    const std::size_t count = (low + high + 1) / 2;
    Plan trial = fits;
    for (std::size_t k = 0; k < count; ++k) {
      trial.code[changes[k].m] = over.code[changes[k].m];
      trial.zeroMask[changes[k].m] = over.zeroMask[changes[k].m];
    }
    Account(trial);
    if (trial.bytes <= limit) {
      low = count;
      if (trial.distortion < best.distortion) best = std::move(trial);
    } else {
      high = count - 1;
    }
  }
  return best;
}

// Every macroblock at the finest quantiser fits with lambda to spare: what
// trades bits for quality now is the trellis lambda itself, searched down to
// plain rounding.
Plan RateSearch::Finest(int format, Plan best, std::int64_t limit) {
  double fitsLambda = model_.LambdaOf(1), overLambda = fitsLambda / 4096;
  for (int i = 0; i < 14 && fitsLambda / overLambda > 1.01; ++i) {
    const double lambda = i == 0 ? overLambda : std::sqrt(fitsLambda * overLambda);
    model_.SetTrellisLambda(lambda);
    Plan plan = Evaluate(format, lambda, 1, 1);
    if (plan.bytes <= limit) {
      if (plan.distortion < best.distortion) best = std::move(plan);
      fitsLambda = lambda;
      if (i == 0) break;  // even plain rounding fits: the best stream
    } else {
      overLambda = lambda;
    }
  }
  model_.SetTrellisLambda(0);
  return best;
}

// Bisection on lambda, letting each macroblock take any quantiser of a fixed
// window around the uniform one that fits where that costs less. The window
// stays fixed so that the size falls in small steps with lambda. Returns the
// least distorted plan that fits (distortion infinite when none does).
Plan RateSearch::Search(int format, int fitting, std::int64_t limit) {
  Plan best;
  auto consider = [&](Plan&& plan) {
    const bool fits = plan.bytes <= limit;
    if (fits && plan.distortion < best.distortion) best = std::move(plan);
    return fits;
  };
  // The window: the uniform quantiser that fits and its neighbours. Should
  // even its finest end fit, the window moves to finer quantisers.
  int firstCode = 1, lastCode = 3;
  double lowLambda = 0, highLambda = 0;  // sizes above and within the limit
  for (int move = 0;; ++move) {
    firstCode = std::clamp(fitting - 2, 1, 28);
    lastCode = firstCode + 3;
    lowLambda = model_.LambdaOf(firstCode);
    highLambda = model_.LambdaOf(lastCode);
    if (!consider(Evaluate(format, lowLambda, firstCode, lastCode))) break;
    if (firstCode == 1) {
      // Even the finest quantiser fits: lambdas below its own keep more of
      // the coefficients, down to plain rounding, the best stream there is.
      highLambda = lowLambda;
      lowLambda /= 4096;
      break;
    }
    if (move == 4) return best;
    fitting -= 2;
  }
  // Beyond the coarsest quantiser only dropping coefficients saves bits.
  for (int i = 0; i < 12 && !consider(Evaluate(format, highLambda, firstCode, lastCode)); ++i) {
    lowLambda = highLambda;
    highLambda *= 4;
  }
  Plan over;  // the plan nearest above the limit
  auto bisect = [&](int steps) {
    for (int i = 0; i < steps && highLambda / lowLambda > 1.0005; ++i) {
      const double lambda = std::sqrt(lowLambda * highLambda);
      Plan plan = Evaluate(format, lambda, firstCode, lastCode);
      const std::int64_t bytes = plan.bytes;
      if (bytes > limit) over = plan;
      if (consider(std::move(plan))) {
        highLambda = lambda;
        if (bytes == limit) break;
      } else {
        lowLambda = lambda;
      }
    }
    if (!over.code.empty() && !std::isinf(best.distortion)) best = Fill(best, over, limit);
  };
  bisect(20);
  if (std::isinf(best.distortion) || std::isinf(highLambda) || !tuning_.refine) return best;
  if (firstCode == 1 && highLambda < model_.LambdaOf(1)) return Finest(format, best, limit);
  // Refinement: the trellis of every quantiser with the lambda found, so that
  // block and macroblock decisions weigh bits alike; then the lambda again.
  model_.SetTrellisLambda(highLambda);
  lowLambda = highLambda / 1.6;
  highLambda = highLambda * 1.6;
  const Plan before = best;
  best = Plan{};
  over = Plan{};
  for (int i = 0; i < 6; ++i) {  // the low end must lie above the limit
    Plan low = Evaluate(format, lowLambda, firstCode, lastCode);
    if (low.bytes > limit) {
      over = std::move(low);
      break;
    }
    consider(std::move(low));
    highLambda = lowLambda;
    lowLambda /= 2;
  }
  if (!over.code.empty()) bisect(14);
  model_.SetTrellisLambda(0);
  if (before.distortion < best.distortion) best = before;
  return best;
}

}  // namespace bootlume::encoder
