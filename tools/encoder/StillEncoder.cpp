// How a still is encoded:
//  1. Every block is transformed once (luminance as frame and as field
//     blocks); DC and AC are then handled apart.
//  2. Cost model: per macroblock and quantiser, the trellis gives each
//     block's AC bits and distortion (cached per quantiser); DC levels follow
//     a Viterbi search along each prediction chain. Distortion is squared
//     error weighted by how much each component weighs in R'G'B'.
//  3. Search: sampled estimates locate the uniform quantiser that fits for
//     each intra VLC table and pick the table; a bisection on the Lagrangian
//     lambda then lets every macroblock choose among neighbouring quantisers
//     (a Viterbi search per row, quantiser changes paying their bits); a
//     second pass re-runs the trellis with the lambda found; a last fill
//     takes over macroblock choices of the plan just above the limit.
//  4. The plan is written exactly as counted, with a decoder's
//     reconstruction alongside; a final check falls back to the smallest
//     stream should the count ever be wrong.
#include "tools/encoder/StillEncoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <exception>
#include <system_error>
#include <thread>

#include "tools/encoder/BitWriter.h"
#include "tools/encoder/CodingTables.h"
#include "tools/encoder/Dct.h"
#include "tools/encoder/IntraQuantiser.h"
#include "tools/encoder/ParallelFor.h"

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

namespace {

constexpr int kBlocks = 6;  // four luminance, Cb, Cr
constexpr int kCodes = 32;  // quantiser_scale_code 1..31
constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr int kQuantChangeBits = 1 + 5;
  // longer macroblock_type, quantiser_scale_code

struct Macroblock {
  bool field = false;
  std::array<Block, kBlocks> blocks;
};

// Cost of one macroblock's AC coefficients at one quantiser: per block the
// trellis result, distortion weighted by the block's component.
struct MacroblockCosts {
  std::array<std::uint16_t, kBlocks> bits;
  std::array<float, kBlocks> distortion;
};

// The outcome of a cost evaluation: everything the writer needs.
struct Plan {
  int format = 1;                      // intra_vlc_format
  int precision = 0;                   // intra_dc_precision
  std::vector<std::uint8_t> code;      // quantiser_scale_code per macroblock
  std::vector<std::uint8_t> zeroMask;  // blocks sent without AC coefficients
  std::vector<std::uint16_t> dc;       // DC level per block
  double trellisLambda = 0;            // the trellis lambda of every quantiser; 0: per quantiser
  std::vector<std::int32_t> rowDcBits;
  double dcDistortion = 0;
  std::int64_t bytes = 0;
  double distortion = kInfinity;
};

int BitLength(int value) { return value == 0 ? 0 : 32 - std::countl_zero(static_cast<std::uint32_t>(value)); }

// Bits of a DC difference (-2047..2047) of a luminance (0) or chrominance block.
struct DcBitTable {
  std::array<std::array<std::uint8_t, 4095>, 2> bits;
  DcBitTable() {
    for (int chroma = 0; chroma < 2; ++chroma) {
      for (int difference = -2047; difference <= 2047; ++difference) {
        const int size = BitLength(std::abs(difference));
        bits[static_cast<std::size_t>(chroma)][static_cast<std::size_t>(difference + 2047)] =
            static_cast<std::uint8_t>((chroma ? kDcSizeChroma : kDcSizeLuma)[static_cast<std::size_t>(size)].length + size);
      }
    }
  }
};

const DcBitTable kDcBitTable;

inline int DcBits(int component, int difference) {
  return kDcBitTable.bits[component == 0 ? 0 : 1][static_cast<std::size_t>(difference + 2047)];
}

std::uint8_t* LumaOrigin(picture::Planes420& planes, int mbx, int mby, int block, bool field) {
  const int x = mbx * 16 + (block & 1) * 8;
  const int y = mby * 16 + (field ? (block >> 1) : (block >> 1) * 8);
  return planes.y.data() + static_cast<std::ptrdiff_t>(y) * planes.width + x;
}

class Encoder {
 public:
  Encoder(const picture::Planes420& frame, const SequenceFormat& format, const EncoderTuning& tuning)
      : frame_(frame), format_(format), tuning_(tuning) {
    mbWidth_ = frame.width / 16;
    mbHeight_ = frame.height / 16;
    coding_.nonLinearScale = tuning.nonLinearScale;
    coding_.alternateScan = tuning.alternateScan;
    weight_ = {1, 1, 1, 1, tuning.cbWeight, tuning.crWeight};
    Transform();
    PlainDcCosts();
    BitWriter headers;
    WriteSequenceHeaders(headers, format_);
    WritePictureHeaders(headers, coding_);
    headerBytes_ = static_cast<std::int64_t>(headers.Finish().size()) + 4;  // and the end code
  }

  EncodeResult Run(std::int64_t budget);

 private:
  void Transform();
  double LambdaOf(int code) const {
    const double scale = QuantiserScale(code, coding_.nonLinearScale);
    return tuning_.lambdaFactor * scale * scale;
  }
  const ScanOrder& Scan() const { return coding_.alternateScan ? kAlternateScan : kZigzag; }
  double TrellisLambda(int code) const { return trellisLambda_ > 0 ? trellisLambda_ : LambdaOf(code); }
  // Trellis costs of one macroblock at quantiser `code`; 0 for no AC at all.
  MacroblockCosts CostsOf(std::size_t m, int format, int code) const;
  const std::vector<MacroblockCosts>& Column(int format, int code);
  const std::vector<MacroblockCosts>& ZeroColumn(int format);
  void PlainDcCosts();
  int ChoosePrecision(double lambda) const;
  double DcChain(int precision, double lambda, Plan& plan, std::vector<std::int32_t>& rowBits) const;
  struct Estimate {
    std::int64_t bytes;
    double distortion;
  };
  Estimate SampledUniform(int format, int code);
  int CoarseCode(int format, std::int64_t limit, double& distortionAtLimit);
  void ChooseDctTypes(int code);
  void SwapDctType(std::size_t m);
  bool FieldMayPay(std::size_t m) const;
  Plan Evaluate(int format, double lambda, int firstCode, int lastCode);
  void Account(Plan& plan);
  void DcLevels(Plan& plan, double lambda);
  Plan Fill(const Plan& fits, const Plan& over, std::int64_t limit);
  Plan Search(int format, int fitting, std::int64_t limit);
  Plan Finest(int format, Plan best, std::int64_t limit);
  EncodeResult Write(const Plan& plan);
  EncodeResult Finish(const Plan& best, const Plan& smallest, std::int64_t limit);

  const picture::Planes420& frame_;
  SequenceFormat format_;
  EncoderTuning tuning_;
  PictureCoding coding_;
  int mbWidth_ = 0;
  int mbHeight_ = 0;
  int fieldCount_ = 0;
  std::int64_t headerBytes_ = 0;
  std::vector<Macroblock> macroblocks_;
  std::vector<std::array<Block, 4>> otherLuma_;  // the luma blocks of the other dct_type
  std::array<std::array<std::vector<MacroblockCosts>, kCodes>, 2> columns_;  // [format][code], [..][0]: no AC
  std::array<double, kBlocks> weight_{};
  std::array<double, 3> plainDcBits_{}, plainDcDistortion_{};
  std::vector<float> dcValue_;                            // DC coefficient per block
  std::array<std::vector<std::uint16_t>, 3> nearestDc_;  // its nearest level per precision
  struct DcCache {
    long bucket = 0;
    std::vector<std::uint16_t> dc;
    std::vector<std::int32_t> rowBits;
    double distortion = 0;
  };
  std::array<DcCache, 3> dcCache_;  // the last chain search per precision
  // Set for the final refinement: one trellis lambda for all quantisers, with
  // its own cost columns.
  double trellisLambda_ = 0;
  std::array<std::array<std::vector<MacroblockCosts>, kCodes>, 2> refinedColumns_;
  int attempts_ = 0;
};

// Transforms every block once, the luminance both as frame and as field
// blocks; starts with frame DCT everywhere (or the one the tuning fixes).
void Encoder::Transform() {
  macroblocks_.resize(static_cast<std::size_t>(mbWidth_) * mbHeight_);
  const bool choose = tuning_.dct == EncoderTuning::Dct::kChoose;
  if (choose) otherLuma_.resize(macroblocks_.size());
  const int width = frame_.width;
  const int chromaWidth = frame_.width / 2;
  ParallelFor(macroblocks_.size(), [&](std::size_t first, std::size_t last) {
    for (std::size_t m = first; m < last; ++m) {
      const int mbx = static_cast<int>(m) % mbWidth_, mby = static_cast<int>(m) / mbWidth_;
      Macroblock& mb = macroblocks_[m];
      const std::uint8_t* luma = frame_.y.data() + static_cast<std::ptrdiff_t>(mby) * 16 * width + mbx * 16;
      mb.field = tuning_.dct == EncoderTuning::Dct::kField;
      const bool mayPay = choose && FieldMayPay(m);  // else the field blocks are never looked at
      for (std::size_t b = 0; b < 4; ++b) {
        const std::uint8_t* column = luma + (b & 1) * 8;
        const std::ptrdiff_t frameRow = static_cast<std::ptrdiff_t>(b >> 1) * 8 * width;
        const std::ptrdiff_t fieldRow = static_cast<std::ptrdiff_t>(b >> 1) * width;
        ForwardDct(column + (mb.field ? fieldRow : frameRow), mb.field ? 2 * width : width, mb.blocks[b]);
        if (mayPay) ForwardDct(column + fieldRow, 2 * width, otherLuma_[m][b]);
      }
      const std::ptrdiff_t chromaOffset = static_cast<std::ptrdiff_t>(mby) * 8 * chromaWidth + mbx * 8;
      ForwardDct(frame_.cb.data() + chromaOffset, chromaWidth, mb.blocks[4]);
      ForwardDct(frame_.cr.data() + chromaOffset, chromaWidth, mb.blocks[5]);
    }
  });
  fieldCount_ = tuning_.dct == EncoderTuning::Dct::kField ? static_cast<int>(macroblocks_.size()) : 0;
  coding_.framePredFrameDct = fieldCount_ == 0;
}

MacroblockCosts Encoder::CostsOf(std::size_t m, int format, int code) const {
  MacroblockCosts costs;
  const AcTable& table = IntraAcTable(format);
  const int scale = QuantiserScale(code, coding_.nonLinearScale);
  for (int b = 0; b < kBlocks; ++b) {
    const auto i = static_cast<std::size_t>(b);
    const AcCost cost = code == 0 ? ZeroAcCost(macroblocks_[m].blocks[i], table)
                                  : QuantiseIntraAc(macroblocks_[m].blocks[i], scale, TrellisLambda(code) / weight_[i], table, nullptr, Scan());
    costs.bits[i] = static_cast<std::uint16_t>(cost.bits);
    costs.distortion[i] = static_cast<float>(cost.distortion * weight_[i]);
  }
  return costs;
}

// The trellis costs of every macroblock at one quantiser, computed once.
const std::vector<MacroblockCosts>& Encoder::Column(int format, int code) {
  auto& columns = trellisLambda_ > 0 && code > 0 ? refinedColumns_ : columns_;
  std::vector<MacroblockCosts>& column = columns[static_cast<std::size_t>(format)][static_cast<std::size_t>(code)];
  if (!column.empty()) return column;
  column.resize(macroblocks_.size());
  ParallelFor(macroblocks_.size(), [&](std::size_t first, std::size_t last) {
    for (std::size_t m = first; m < last; ++m) column[m] = CostsOf(m, format, code);
  });
  return column;
}

const std::vector<MacroblockCosts>& Encoder::ZeroColumn(int format) { return Column(format, 0); }

// DC bits and distortion of each precision with every DC level at its
// nearest value.
void Encoder::PlainDcCosts() {
  for (DcCache& cache : dcCache_) cache.dc.clear();
  dcValue_.resize(macroblocks_.size() * kBlocks);
  for (std::size_t m = 0; m < macroblocks_.size(); ++m)
    for (std::size_t b = 0; b < kBlocks; ++b) dcValue_[m * kBlocks + b] = macroblocks_[m].blocks[b][0];
  for (int precision = 0; precision < 3; ++precision) {
    std::vector<std::uint16_t>& nearest = nearestDc_[static_cast<std::size_t>(precision)];
    nearest.resize(dcValue_.size());
    for (std::size_t i = 0; i < dcValue_.size(); ++i) nearest[i] = static_cast<std::uint16_t>(QuantiseIntraDc(dcValue_[i], precision));
    const int multiplier = DcMultiplier(precision);
    double distortion = 0;
    std::int64_t bits = 0;
    for (int mby = 0; mby < mbHeight_; ++mby) {
      int predictor[3] = {128 << precision, 128 << precision, 128 << precision};
      for (int mbx = 0; mbx < mbWidth_; ++mbx) {
        const Macroblock& mb = macroblocks_[static_cast<std::size_t>(mby * mbWidth_ + mbx)];
        for (int b = 0; b < kBlocks; ++b) {
          const float dc = mb.blocks[static_cast<std::size_t>(b)][0];
          const int level = QuantiseIntraDc(dc, precision);
          const int component = b < 4 ? 0 : b - 3;
          bits += DcBits(component, level - predictor[component]);
          predictor[component] = level;
          const double error = dc - level * multiplier;
          distortion += error * error * weight_[static_cast<std::size_t>(b)];
        }
      }
    }
    plainDcBits_[static_cast<std::size_t>(precision)] = static_cast<double>(bits);
    plainDcDistortion_[static_cast<std::size_t>(precision)] = distortion;
  }
}

int Encoder::ChoosePrecision(double lambda) const {
  if (tuning_.intraDcPrecision >= 0) return tuning_.intraDcPrecision;
  if (std::isinf(lambda)) return 0;
  int best = 0;
  double bestCost = kInfinity;
  for (int p = 0; p < 3; ++p) {
    const double cost = plainDcDistortion_[static_cast<std::size_t>(p)] + lambda * plainDcBits_[static_cast<std::size_t>(p)];
    if (cost < bestCost) {
      bestCost = cost;
      best = p;
    }
  }
  return best;
}

// DC levels by a Viterbi search along each DC prediction chain (per slice and
// component): each level may move one step from its nearest value where the
// shorter differences pay. Fills plan.dc and the DC bits of each row; returns
// the DC distortion.
double Encoder::DcChain(int precision, double lambda, Plan& plan, std::vector<std::int32_t>& rowBits) const {
  plan.dc.assign(macroblocks_.size() * kBlocks, 0);
  rowBits.assign(static_cast<std::size_t>(mbHeight_), 0);
  const int multiplier = DcMultiplier(precision);
  const int maximum = (256 << precision) - 1;
  const double bitCost = std::isinf(lambda) ? 1.0 : lambda;
  const double distortionScale = std::isinf(lambda) ? 0.0 : 1.0;
  constexpr int kStates = 5;
  std::vector<double> rowDistortion(static_cast<std::size_t>(mbHeight_), 0.0);
  ParallelFor(static_cast<std::size_t>(mbHeight_), [&](std::size_t firstRow, std::size_t lastRow) {
    std::vector<std::array<std::uint8_t, kStates>> back;
    std::vector<std::size_t> blocks;  // indices into plan.dc along the chain
    const std::vector<std::uint16_t>& nearestLevels = nearestDc_[static_cast<std::size_t>(precision)];
    auto candidates = [&](std::size_t index) {
      const int nearest = nearestLevels[index];
      return std::array<int, kStates>{nearest, std::max(0, nearest - 1), std::min(maximum, nearest + 1),
                                      std::max(0, nearest - 2), std::min(maximum, nearest + 2)};
    };
    for (std::size_t row = firstRow; row < lastRow; ++row) {
      const int mby = static_cast<int>(row);
      for (int component = 0; component < 3; ++component) {
        blocks.clear();
        for (int mbx = 0; mbx < mbWidth_; ++mbx) {
          const std::size_t m = static_cast<std::size_t>(mby * mbWidth_ + mbx);
          if (component == 0) {
            for (std::size_t b = 0; b < 4; ++b) blocks.push_back(m * kBlocks + b);
          } else {
            blocks.push_back(m * kBlocks + 3 + static_cast<std::size_t>(component));
          }
        }
        back.resize(blocks.size());
        std::array<int, kStates> previousLevel{};
        std::array<double, kStates> cost{};
        previousLevel.fill(128 << precision);
        cost.fill(kInfinity);
        cost[0] = 0;
        int previousStates = 1;
        for (std::size_t k = 0; k < blocks.size(); ++k) {
          const std::size_t index = blocks[k];
          const float dc = dcValue_[index];
          const double weight = weight_[index % kBlocks] * distortionScale;
          const std::array<int, kStates> level = candidates(index);
          std::array<double, kStates> next;
          for (std::size_t s = 0; s < kStates; ++s) {
            const double error = dc - level[s] * multiplier;
            double best = kInfinity;
            int from = 0;
            for (int t = 0; t < previousStates; ++t) {
              const double c = cost[static_cast<std::size_t>(t)] + bitCost * DcBits(component, level[s] - previousLevel[static_cast<std::size_t>(t)]);
              if (c < best) {
                best = c;
                from = t;
              }
            }
            next[s] = best + weight * error * error;
            back[k][s] = static_cast<std::uint8_t>(from);
          }
          cost = next;
          previousLevel = level;
          previousStates = kStates;
        }
        int state = static_cast<int>(std::min_element(cost.begin(), cost.end()) - cost.begin());
        for (std::size_t k = blocks.size(); k-- > 0;) {
          plan.dc[blocks[k]] = static_cast<std::uint16_t>(candidates(blocks[k])[static_cast<std::size_t>(state)]);
          state = back[k][static_cast<std::size_t>(state)];
        }
        int predictor = 128 << precision;
        for (std::size_t index : blocks) {
          rowBits[row] += DcBits(component, plan.dc[index] - predictor);
          predictor = plan.dc[index];
          const double error = dcValue_[index] - plan.dc[index] * multiplier;
          rowDistortion[row] += error * error * weight_[index % kBlocks];
        }
      }
    }
  });
  double totalDistortion = 0;
  for (double d : rowDistortion) totalDistortion += d;
  return totalDistortion;
}

// Whether lines of one field resemble each other more than neighbouring
// lines somewhere in the macroblock: only then can field DCT pay.
bool Encoder::FieldMayPay(std::size_t m) const {
  const int width = frame_.width;
  const int mbx = static_cast<int>(m) % mbWidth_, mby = static_cast<int>(m) / mbWidth_;
  const std::uint8_t* luma = frame_.y.data() + static_cast<std::ptrdiff_t>(mby) * 16 * width + mbx * 16;
  for (int half = 0; half < 2; ++half) {
    int frameDifference = 0, fieldDifference = 0;
    for (int y = 0; y < 14; ++y) {
      const std::uint8_t* line = luma + static_cast<std::ptrdiff_t>(y) * width + half * 8;
      for (int x = 0; x < 8; ++x) {
        frameDifference += std::abs(line[x] - line[x + width]);
        fieldDifference += std::abs(line[x] - line[x + 2 * width]);
      }
    }
    if (fieldDifference < frameDifference) return true;
  }
  return false;
}

void Encoder::SwapDctType(std::size_t m) {
  Macroblock& mb = macroblocks_[m];
  for (std::size_t b = 0; b < 4; ++b) std::swap(mb.blocks[b], otherLuma_[m][b]);
  mb.field = !mb.field;
  fieldCount_ += mb.field ? 1 : -1;
}

// Frame or field DCT per macroblock by rate-distortion cost at quantiser
// `code`. Field macroblocks also cost every macroblock its dct_type bit, so
// they are used only when they save more than that in total. Must run before
// any cost column is computed.
void Encoder::ChooseDctTypes(int code) {
  if (tuning_.dct != EncoderTuning::Dct::kChoose) return;
  const std::size_t count = macroblocks_.size();
  const AcTable& table = IntraAcTable(1);
  const int scale = QuantiserScale(code, coding_.nonLinearScale);
  const double lambda = LambdaOf(code);
  std::vector<double> gain(count);  // cost saved by field DCT
  ParallelFor(count, [&](std::size_t first, std::size_t last) {
    for (std::size_t m = first; m < last; ++m) {
      if (!FieldMayPay(m)) continue;
      double difference = 0;
      for (std::size_t b = 0; b < 4; ++b) {
        const AcCost frame = QuantiseIntraAc(macroblocks_[m].blocks[b], scale, lambda, table, nullptr, Scan());
        const AcCost field = QuantiseIntraAc(otherLuma_[m][b], scale, lambda, table, nullptr, Scan());
        difference += (frame.distortion + lambda * frame.bits) - (field.distortion + lambda * field.bits);
      }
      gain[m] = difference;
    }
  });
  double total = 0;
  for (double g : gain) total += std::max(0.0, g);
  if (total <= lambda * static_cast<double>(count)) return;
  for (std::size_t m = 0; m < count; ++m) {
    if (gain[m] > 0) SwapDctType(m);
  }
  coding_.framePredFrameDct = fieldCount_ == 0;
  PlainDcCosts();
  for (auto& format : columns_)
    for (auto& column : format) column.clear();
}

// Size and distortion of uniform quantisation at `code`, from every fourth
// macroblock: enough to find where the budget lies.
Encoder::Estimate Encoder::SampledUniform(int format, int code) {
  ++attempts_;
  const double lambda = LambdaOf(code);
  std::vector<std::size_t> sample;
  for (std::size_t m = 0; m < macroblocks_.size(); ++m) {
    if ((m % static_cast<std::size_t>(mbWidth_) + m / static_cast<std::size_t>(mbWidth_)) % 4 == 0) sample.push_back(m);
  }
  std::vector<MacroblockCosts> coded(sample.size()), zero(sample.size());
  ParallelFor(sample.size(), [&](std::size_t first, std::size_t last) {
    for (std::size_t i = first; i < last; ++i) {
      coded[i] = CostsOf(sample[i], format, code);
      zero[i] = CostsOf(sample[i], format, 0);
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
  const double scale = static_cast<double>(macroblocks_.size()) / static_cast<double>(sample.size());
  const int precision = ChoosePrecision(lambda);
  Plan dcPlan;
  dcPlan.precision = precision;
  DcLevels(dcPlan, lambda);
  const std::vector<std::int32_t>& rowBits = dcPlan.rowDcBits;
  distortion = distortion * scale + dcPlan.dcDistortion;
  bits = bits * scale + static_cast<double>(macroblocks_.size()) * (2 + (coding_.framePredFrameDct ? 0 : 1));
  for (std::int32_t row : rowBits) bits += row + kSliceHeaderBits + 4;
  return {headerBytes_ + static_cast<std::int64_t>(bits / 8), distortion};
}

// The finest uniform quantiser whose estimated size fits, by bisection (32
// when none does), and the distortion interpolated at the limit.
int Encoder::CoarseCode(int format, std::int64_t limit, double& distortionAtLimit) {
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
Plan Encoder::Evaluate(int format, double lambda, int firstCode, int lastCode) {
  ++attempts_;
  const bool zeroOnly = std::isinf(lambda);
  if (zeroOnly) firstCode = lastCode = 31;
  const int states = lastCode - firstCode + 1;
  std::array<const std::vector<MacroblockCosts>*, kCodes> columns{};
  for (int code = firstCode; code <= lastCode && !zeroOnly; ++code) columns[static_cast<std::size_t>(code)] = &Column(format, code);
  const std::vector<MacroblockCosts>& zeroCosts = ZeroColumn(format);

  Plan plan;
  plan.format = format;
  plan.trellisLambda = trellisLambda_;
  plan.code.resize(macroblocks_.size());
  plan.zeroMask.resize(macroblocks_.size());
  plan.precision = ChoosePrecision(lambda);
  DcLevels(plan, lambda);
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

// The DC levels of the plan's precision for `lambda`. Lambdas within 2% of
// each other share one chain search: the bisection asks for many of them.
void Encoder::DcLevels(Plan& plan, double lambda) {
  const long bucket = std::isinf(lambda) ? std::numeric_limits<long>::max() : std::lround(std::log(lambda) / std::log(1.02));
  DcCache& cache = dcCache_[static_cast<std::size_t>(plan.precision)];
  if (cache.dc.empty() || cache.bucket != bucket) {
    Plan scratch;
    cache.distortion = DcChain(plan.precision, lambda, scratch, cache.rowBits);
    cache.dc = std::move(scratch.dc);
    cache.bucket = bucket;
  }
  plan.dc = cache.dc;
  plan.rowDcBits = cache.rowBits;
  plan.dcDistortion = cache.distortion;
}

// Exact size and distortion of a plan: per row the slice header, each
// macroblock's modes, quantiser changes, DC and AC bits, padded to a byte.
void Encoder::Account(Plan& plan) {
  const int modeBits = 1 + 1 + (coding_.framePredFrameDct ? 0 : 1);  // address increment, type, dct_type
  const std::vector<MacroblockCosts>& zeroCosts = ZeroColumn(plan.format);
  std::int64_t totalBytes = headerBytes_;
  double distortion = plan.dcDistortion;
  for (int mby = 0; mby < mbHeight_; ++mby) {
    std::int64_t rowBits = kSliceHeaderBits + plan.rowDcBits[static_cast<std::size_t>(mby)];
    for (int mbx = 0; mbx < mbWidth_; ++mbx) {
      const std::size_t m = static_cast<std::size_t>(mby * mbWidth_ + mbx);
      rowBits += modeBits + (mbx > 0 && plan.code[m] != plan.code[m - 1] ? kQuantChangeBits : 0);
      const MacroblockCosts* coded = plan.zeroMask[m] == (1u << kBlocks) - 1 ? nullptr : &Column(plan.format, plan.code[m])[m];
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
Plan Encoder::Fill(const Plan& fits, const Plan& over, std::int64_t limit) {
  if (fits.format != over.format || fits.trellisLambda != over.trellisLambda || fits.precision != over.precision) return fits;
  const std::vector<MacroblockCosts>& zeroCosts = ZeroColumn(fits.format);
  auto macroblockCost = [&](const Plan& plan, std::size_t m, double& distortion) {
    const MacroblockCosts* coded = plan.zeroMask[m] == (1u << kBlocks) - 1 ? nullptr : &Column(plan.format, plan.code[m])[m];
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
  for (std::size_t m = 0; m < macroblocks_.size(); ++m) {
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
Plan Encoder::Finest(int format, Plan best, std::int64_t limit) {
  double fitsLambda = LambdaOf(1), overLambda = fitsLambda / 4096;
  for (int i = 0; i < 14 && fitsLambda / overLambda > 1.01; ++i) {
    const double lambda = i == 0 ? overLambda : std::sqrt(fitsLambda * overLambda);
    trellisLambda_ = lambda;
    for (auto& columns : refinedColumns_) columns[1].clear();
    Plan plan = Evaluate(format, lambda, 1, 1);
    if (plan.bytes <= limit) {
      if (plan.distortion < best.distortion) best = std::move(plan);
      fitsLambda = lambda;
      if (i == 0) break;  // even plain rounding fits: the best stream
    } else {
      overLambda = lambda;
    }
  }
  trellisLambda_ = 0;
  for (auto& columns : refinedColumns_) columns[1].clear();
  return best;
}

// Bisection on lambda, letting each macroblock take any quantiser of a fixed
// window around the uniform one that fits where that costs less. The window
// stays fixed so that the size falls in small steps with lambda. Returns the
// least distorted plan that fits (distortion infinite when none does).
Plan Encoder::Search(int format, int fitting, std::int64_t limit) {
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
    lowLambda = LambdaOf(firstCode);
    highLambda = LambdaOf(lastCode);
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
  if (firstCode == 1 && highLambda < LambdaOf(1)) return Finest(format, best, limit);
  // Refinement: the trellis of every quantiser with the lambda found, so that
  // block and macroblock decisions weigh bits alike; then the lambda again.
  trellisLambda_ = highLambda;
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
  trellisLambda_ = 0;
  if (before.distortion < best.distortion) best = before;
  return best;
}

EncodeResult Encoder::Run(std::int64_t budget) {
  // Every macroblock frame-coded without AC coefficients, with the shorter
  // end-of-block code of table zero: the smallest stream.
  const Plan smallest = Evaluate(tuning_.intraVlcFormat < 0 ? 0 : tuning_.intraVlcFormat, kInfinity, 31, 31);
  const std::int64_t limit = std::min(budget, kVbvBufferBytes);
  if (smallest.bytes > budget) {
    EncodeResult result;
    result.status = EncodeStatus::kDoesNotFit;
    result.smallestBytes = smallest.bytes;
    result.attempts = attempts_;
    return result;
  }
  if (tuning_.quantiserScaleCode > 0) {
    const int code = tuning_.quantiserScaleCode;
    ChooseDctTypes(code);
    return Finish(Evaluate(tuning_.intraVlcFormat < 0 ? 1 : tuning_.intraVlcFormat, LambdaOf(code), code, code), smallest, limit);
  }
  // Where the budget lies for each table, from samples; the table that
  // promises the lower distortion there is searched in full.
  std::array<int, 2> fitting{32, 32};
  std::array<double, 2> promise{kInfinity, kInfinity};
  const int firstFormat = tuning_.intraVlcFormat < 0 ? 0 : tuning_.intraVlcFormat;
  const int lastFormat = tuning_.intraVlcFormat < 0 ? 1 : tuning_.intraVlcFormat;
  for (int format = lastFormat; format >= firstFormat; --format) {
    fitting[static_cast<std::size_t>(format)] = CoarseCode(format, limit, promise[static_cast<std::size_t>(format)]);
    if (format == lastFormat) ChooseDctTypes(std::min(fitting[static_cast<std::size_t>(format)], 31));
  }
  // Where no uniform quantiser fits, table zero's shorter end of block wins.
  const bool tableZero = promise[0] < promise[1] || (std::isinf(promise[0]) && std::isinf(promise[1]));
  const int format = firstFormat == 0 && tableZero ? 0 : lastFormat;
  Plan best = Search(format, fitting[static_cast<std::size_t>(format)], limit);
  if (std::isinf(best.distortion)) best = Evaluate(format, kInfinity, 31, 31);
  return Finish(best, smallest, limit);
}

// The final check: the written stream must be what the plan counted; should
// it ever be longer than allowed, the smallest stream is delivered instead.
EncodeResult Encoder::Finish(const Plan& best, const Plan& smallest, std::int64_t limit) {
  EncodeResult result = Write(best);
  if (static_cast<std::int64_t>(result.stream.size()) > limit) {
    if (!otherLuma_.empty()) {  // back to frame DCT, as the smallest stream was counted
      for (std::size_t m = 0; m < macroblocks_.size(); ++m) {
        if (macroblocks_[m].field) SwapDctType(m);
      }
      coding_.framePredFrameDct = true;
    }
    result = Write(smallest);
  }
  result.smallestBytes = smallest.bytes;
  return result;
}

// Writes the planned stream and reconstructs the picture as a decoder does.
EncodeResult Encoder::Write(const Plan& plan) {
  EncodeResult result;
  result.attempts = attempts_;
  coding_.intraDcPrecision = plan.precision;
  coding_.intraVlcFormat = plan.format;
  result.coding = coding_;
  result.fieldDctMacroblocks = fieldCount_;
  picture::Planes420& picture = result.reconstruction;
  if (tuning_.reconstruct) {
    picture.width = frame_.width;
    picture.height = frame_.height;
    picture.y.assign(frame_.y.size(), 0);
    picture.cb.assign(frame_.cb.size(), 0);
    picture.cr.assign(frame_.cr.size(), 0);
  }

  const AcTable& table = IntraAcTable(plan.format);
  const int multiplier = DcMultiplier(plan.precision);
  BitWriter out;
  WriteSequenceHeaders(out, format_);
  WritePictureHeaders(out, coding_);
  double scaleSum = 0;
  for (int mby = 0; mby < mbHeight_; ++mby) {
    int current = plan.code[static_cast<std::size_t>(mby * mbWidth_)];
    WriteSliceHeader(out, mby, current);
    int predictor[3];
    std::fill(std::begin(predictor), std::end(predictor), 128 << plan.precision);
    for (int mbx = 0; mbx < mbWidth_; ++mbx) {
      const std::size_t m = static_cast<std::size_t>(mby * mbWidth_ + mbx);
      const Macroblock& mb = macroblocks_[m];
      const int code = plan.code[m];
      const int scale = QuantiserScale(code, coding_.nonLinearScale);
      scaleSum += scale;
      const bool quant = code != current;
      out.Put(1, 1);             // macroblock_address_increment 1
      out.Put(1, quant ? 2 : 1); // macroblock_type: intra, or intra with quantiser
      if (!coding_.framePredFrameDct) out.Put(mb.field ? 1 : 0, 1);
      if (quant) out.Put(static_cast<std::uint32_t>(code), 5);
      current = code;
      for (int b = 0; b < kBlocks; ++b) {
        const Block& coefficients = mb.blocks[static_cast<std::size_t>(b)];
        const int component = b < 4 ? 0 : b - 3;
        const int dc = plan.dc[m * kBlocks + static_cast<std::size_t>(b)];
        const int difference = dc - predictor[component];
        predictor[component] = dc;
        const int size = BitLength(std::abs(difference));
        const Vlc sizeCode = (component == 0 ? kDcSizeLuma : kDcSizeChroma)[static_cast<std::size_t>(size)];
        out.Put(sizeCode.bits, sizeCode.length);
        if (size > 0) out.Put(static_cast<std::uint32_t>(difference > 0 ? difference : difference + (1 << size) - 1), size);

        ScanLevels levels{};
        if (!(plan.zeroMask[m] & (1u << b))) {
          const double lambda = plan.trellisLambda > 0 ? plan.trellisLambda : LambdaOf(code);
          QuantiseIntraAc(coefficients, scale, lambda / weight_[static_cast<std::size_t>(b)], table, &levels, Scan());
        }
        std::array<std::int32_t, 64> dequantised{};
        dequantised[0] = dc * multiplier;
        int run = 0;
        for (int i = 1; i < 64; ++i) {
          const int level = levels[static_cast<std::size_t>(i)];
          if (level == 0) {
            ++run;
            continue;
          }
          const int magnitude = std::abs(level);
          const Vlc pair = (run <= kMaxTableRun && magnitude <= kMaxTableLevel) ? table.codes[static_cast<std::size_t>(run)][static_cast<std::size_t>(magnitude)] : Vlc{};
          if (pair.length > 0) {
            out.Put(pair.bits, pair.length);
            out.Put(level < 0 ? 1 : 0, 1);
          } else {
            out.Put(table.escape.bits, table.escape.length);
            out.Put(static_cast<std::uint32_t>(run), 6);
            out.Put(static_cast<std::uint32_t>(level) & 0xfff, 12);
          }
          run = 0;
          const int raster = Scan()[static_cast<std::size_t>(i)];
          dequantised[static_cast<std::size_t>(raster)] = DequantiseIntraAc(level, raster, scale);
        }
        out.Put(table.endOfBlock.bits, table.endOfBlock.length);

        if (!tuning_.reconstruct) continue;
        // Mismatch control, as every decoder applies it.
        std::int32_t sum = 0;
        for (std::int32_t value : dequantised) sum += value;
        if ((sum & 1) == 0) dequantised[63] ^= 1;
        if (b < 4) {
          InverseDct(dequantised, LumaOrigin(picture, mbx, mby, b, mb.field), mb.field ? 2 * picture.width : picture.width);
        } else {
          std::vector<std::uint8_t>& plane = b == 4 ? picture.cb : picture.cr;
          const int chromaWidth = picture.width / 2;
          InverseDct(dequantised, plane.data() + static_cast<std::ptrdiff_t>(mby) * 8 * chromaWidth + mbx * 8, chromaWidth);
        }
      }
    }
  }
  WriteSequenceEnd(out);
  result.stream = out.Finish();
  result.meanQuantiserScale = scaleSum / static_cast<double>(macroblocks_.size());
  result.status = EncodeStatus::kOk;
  return result;
}

}  // namespace

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
  return Encoder(frame, format, tuning).Run(budgetBytes);
}

}  // namespace bootlume::encoder
