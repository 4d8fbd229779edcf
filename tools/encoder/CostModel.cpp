#include "tools/encoder/CostModel.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "tools/encoder/BitWriter.h"
#include "tools/encoder/ParallelFor.h"

namespace bootlume::encoder {

namespace {

// Bits of a DC difference (-2047..2047) of a luminance (0) or chrominance block.
struct DcBitTable {
  std::array<std::array<std::uint8_t, 4095>, 2> bits;
  DcBitTable() {
    for (int chroma = 0; chroma < 2; ++chroma) {
      for (int difference = -2047; difference <= 2047; ++difference) {
        const int size = DcSize(difference);
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

}  // namespace

CostModel::CostModel(const picture::Planes420& frame, const SequenceFormat& format, const EncoderTuning& tuning)
    : frame_(frame), tuning_(tuning) {
  mbWidth_ = frame.width / 16;
  mbHeight_ = frame.height / 16;
  coding_.nonLinearScale = tuning.nonLinearScale;
  coding_.alternateScan = tuning.alternateScan;
  weight_ = {1, 1, 1, 1, tuning.cbWeight, tuning.crWeight};
  Transform();
  PlainDcCosts();
  BitWriter headers;
  WriteSequenceHeaders(headers, format);
  WritePictureHeaders(headers, coding_);
  headerBytes_ = static_cast<std::int64_t>(headers.Finish().size()) + 4;  // and the end code
}

// Transforms every block once, the luminance both as frame and as field
// blocks (where field DCT may pay).
void CostModel::Transform() {
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

void CostModel::SetTrellisLambda(double lambda) {
  trellisLambda_ = lambda;
  for (auto& format : refinedColumns_)
    for (auto& column : format) column.clear();
}

AcCost CostModel::QuantiseBlock(std::size_t m, std::size_t block, const AcTable& table, int code, double trellisLambda,
                                ScanLevels* levels) const {
  const int scale = QuantiserScale(code, coding_.nonLinearScale);
  const double lambda = trellisLambda > 0 ? trellisLambda : LambdaOf(code);
  return QuantiseIntraAc(macroblocks_[m].blocks[block], scale, lambda / weight_[block], table, levels, Scan());
}

MacroblockCosts CostModel::CostsOf(std::size_t m, int format, int code) const {
  MacroblockCosts costs;
  const AcTable& table = IntraAcTable(format);
  for (int b = 0; b < kBlocks; ++b) {
    const auto i = static_cast<std::size_t>(b);
    const AcCost cost = code == 0 ? ZeroAcCost(macroblocks_[m].blocks[i], table)
                                  : QuantiseBlock(m, i, table, code, trellisLambda_, nullptr);
    costs.bits[i] = static_cast<std::uint16_t>(cost.bits);
    costs.distortion[i] = static_cast<float>(cost.distortion * weight_[i]);
  }
  return costs;
}

const std::vector<MacroblockCosts>& CostModel::FillColumn(std::vector<MacroblockCosts>& column, int format, int code) {
  column.resize(macroblocks_.size());
  ParallelFor(macroblocks_.size(), [&](std::size_t first, std::size_t last) {
    for (std::size_t m = first; m < last; ++m) column[m] = CostsOf(m, format, code);
  });
  return column;
}

// DC bits and distortion of each precision with every DC level at its
// nearest value.
void CostModel::PlainDcCosts() {
  for (DcCache& cache : dcCache_) cache.choice.dc.clear();
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

int CostModel::ChoosePrecision(double lambda) const {
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

const DcChoice& CostModel::DcLevels(int precision, double lambda) {
  const long bucket = std::isinf(lambda) ? std::numeric_limits<long>::max() : std::lround(std::log(lambda) / std::log(1.02));
  DcCache& cache = dcCache_[static_cast<std::size_t>(precision)];
  if (cache.choice.dc.empty() || cache.bucket != bucket) {
    DcChain(precision, lambda, cache.choice);
    cache.bucket = bucket;
  }
  return cache.choice;
}

// DC levels by a Viterbi search along each DC prediction chain (per slice and
// component): each level may move one step from its nearest value where the
// shorter differences pay. An infinite lambda counts bits alone.
void CostModel::DcChain(int precision, double lambda, DcChoice& choice) const {
  std::vector<std::uint16_t>& levels = choice.dc;
  std::vector<std::int32_t>& rowBits = choice.rowBits;
  levels.assign(macroblocks_.size() * kBlocks, 0);
  rowBits.assign(static_cast<std::size_t>(mbHeight_), 0);
  const int multiplier = DcMultiplier(precision);
  const int maximum = (256 << precision) - 1;
  const double bitCost = std::isinf(lambda) ? 1.0 : lambda;
  const double distortionScale = std::isinf(lambda) ? 0.0 : 1.0;
  constexpr int kStates = 5;
  std::vector<double> rowDistortion(static_cast<std::size_t>(mbHeight_), 0.0);
  ParallelFor(static_cast<std::size_t>(mbHeight_), [&](std::size_t firstRow, std::size_t lastRow) {
    std::vector<std::array<std::uint8_t, kStates>> back;
    std::vector<std::size_t> blocks;  // indices into `levels` along the chain
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
          levels[blocks[k]] = static_cast<std::uint16_t>(candidates(blocks[k])[static_cast<std::size_t>(state)]);
          state = back[k][static_cast<std::size_t>(state)];
        }
        int predictor = 128 << precision;
        for (std::size_t index : blocks) {
          rowBits[row] += DcBits(component, levels[index] - predictor);
          predictor = levels[index];
          const double error = dcValue_[index] - levels[index] * multiplier;
          rowDistortion[row] += error * error * weight_[index % kBlocks];
        }
      }
    }
  });
  double totalDistortion = 0;
  for (double d : rowDistortion) totalDistortion += d;
  choice.distortion = totalDistortion;
}

// Whether lines of one field resemble each other more than neighbouring
// lines somewhere in the macroblock: only then can field DCT pay.
bool CostModel::FieldMayPay(std::size_t m) const {
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

void CostModel::SwapDctType(std::size_t m) {
  Macroblock& mb = macroblocks_[m];
  for (std::size_t b = 0; b < 4; ++b) std::swap(mb.blocks[b], otherLuma_[m][b]);
  mb.field = !mb.field;
  fieldCount_ += mb.field ? 1 : -1;
}

// The DC values and every cost column follow the blocks now in place.
void CostModel::DctTypesChanged() {
  coding_.framePredFrameDct = fieldCount_ == 0;
  PlainDcCosts();
  for (auto& format : columns_)
    for (auto& column : format) column.clear();
}

// Field macroblocks also cost every macroblock its dct_type bit, so they are
// used only when they save more than that in total.
void CostModel::ChooseDctTypes(int code) {
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
  DctTypesChanged();
}

void CostModel::UseFrameDct() {
  if (otherLuma_.empty()) return;  // the tuning fixed the type
  for (std::size_t m = 0; m < macroblocks_.size(); ++m) {
    if (macroblocks_[m].field) SwapDctType(m);
  }
  DctTypesChanged();
}

}  // namespace bootlume::encoder
