// The cost model of one still: every block transformed once, and what each
// coding choice costs in bits and distortion. Distortion is squared error
// weighted by how much each component weighs in R'G'B'. The model decides
// nothing about the budget; the rate search asks it, the writer replays it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "tools/encoder/CodingTables.h"
#include "tools/encoder/Dct.h"
#include "tools/encoder/IntraQuantiser.h"
#include "tools/encoder/StillEncoder.h"
#include "tools/encoder/StreamHeaders.h"

namespace bootlume::encoder {

inline constexpr int kBlocks = 6;  // four luminance, Cb, Cr
inline constexpr int kCodes = 32;  // quantiser_scale_code 1..31
inline constexpr double kInfinity = std::numeric_limits<double>::infinity();

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

// DC levels of every block for one precision and lambda, with the DC bits of
// each macroblock row and the total DC distortion.
struct DcChoice {
  std::vector<std::uint16_t> dc;
  std::vector<std::int32_t> rowBits;
  double distortion = 0;
};

class CostModel {
 public:
  // Transforms `frame` (which must outlive the model), starting with frame
  // DCT everywhere unless the tuning fixes field DCT.
  CostModel(const picture::Planes420& frame, const SequenceFormat& format, const EncoderTuning& tuning);

  const picture::Planes420& Frame() const { return frame_; }
  int MbWidth() const { return mbWidth_; }
  int MbHeight() const { return mbHeight_; }
  std::size_t MacroblockCount() const { return macroblocks_.size(); }
  const Macroblock& MacroblockAt(std::size_t m) const { return macroblocks_[m]; }
  // The picture's coding choices so far: scale type, scan and frame_pred_frame_dct.
  const PictureCoding& Coding() const { return coding_; }
  int FieldDctMacroblocks() const { return fieldCount_; }
  // Bytes of every header and the end code.
  std::int64_t HeaderBytes() const { return headerBytes_; }

  // The quantiser's own Lagrangian lambda.
  double LambdaOf(int code) const {
    const double scale = QuantiserScale(code, coding_.nonLinearScale);
    return tuning_.lambdaFactor * scale * scale;
  }
  // One trellis lambda for every quantiser, or 0 for each its own. Cost
  // columns belong to one lambda, so those of the last one are dropped.
  void SetTrellisLambda(double lambda);
  double TrellisLambda() const { return trellisLambda_; }

  // The trellis decision for one block at quantiser `code` with trellis
  // lambda `trellisLambda` (0: the quantiser's own): what the costs count
  // and the writer writes. `levels` may be null.
  AcCost QuantiseBlock(std::size_t m, std::size_t block, const AcTable& table, int code, double trellisLambda,
                       ScanLevels* levels) const;
  // Trellis costs of one macroblock at quantiser `code` with the current
  // trellis lambda; code 0: no AC at all.
  MacroblockCosts CostsOf(std::size_t m, int format, int code) const;
  // The same for every macroblock, kept until the trellis lambda or the DCT
  // types change.
  const std::vector<MacroblockCosts>& Column(int format, int code) {
    std::vector<MacroblockCosts>& column = ColumnSlot(format, code);
    return column.empty() ? FillColumn(column, format, code) : column;
  }
  const std::vector<MacroblockCosts>& ZeroColumn(int format) { return Column(format, 0); }

  // The intra_dc_precision of least plain DC cost at `lambda` (unless the
  // tuning fixes it; 0 for an infinite lambda).
  int ChoosePrecision(double lambda) const;
  // DC levels of `precision` for `lambda`, valid until the next call. Lambdas
  // within 2% of each other share one chain search: the bisection asks for
  // many of them.
  const DcChoice& DcLevels(int precision, double lambda);

  // Frame or field DCT per macroblock by rate-distortion cost at quantiser
  // `code` (unless the tuning fixes the type). Costs follow the new types;
  // plans counted before no longer match the blocks.
  void ChooseDctTypes(int code);
  // Frame DCT everywhere again (unless the tuning fixed field DCT).
  void UseFrameDct();

 private:
  void Transform();
  bool FieldMayPay(std::size_t m) const;
  void SwapDctType(std::size_t m);
  void DctTypesChanged();
  std::vector<MacroblockCosts>& ColumnSlot(int format, int code) {
    auto& columns = trellisLambda_ > 0 && code > 0 ? refinedColumns_ : columns_;
    return columns[static_cast<std::size_t>(format)][static_cast<std::size_t>(code)];
  }
  const std::vector<MacroblockCosts>& FillColumn(std::vector<MacroblockCosts>& column, int format, int code);
  void PlainDcCosts();
  void DcChain(int precision, double lambda, DcChoice& choice) const;
  const ScanOrder& Scan() const { return coding_.alternateScan ? kAlternateScan : kZigzag; }

  const picture::Planes420& frame_;
  EncoderTuning tuning_;
  PictureCoding coding_;
  int mbWidth_ = 0;
  int mbHeight_ = 0;
  int fieldCount_ = 0;
  std::int64_t headerBytes_ = 0;
  std::vector<Macroblock> macroblocks_;
  std::vector<std::array<Block, 4>> otherLuma_;  // the luma blocks of the other dct_type
  std::array<double, kBlocks> weight_{};
  std::array<std::array<std::vector<MacroblockCosts>, kCodes>, 2> columns_;  // [format][code], [..][0]: no AC
  // Set for the final refinement: one trellis lambda for all quantisers, with
  // its own cost columns.
  double trellisLambda_ = 0;
  std::array<std::array<std::vector<MacroblockCosts>, kCodes>, 2> refinedColumns_;
  std::array<double, 3> plainDcBits_{}, plainDcDistortion_{};
  std::vector<float> dcValue_;                            // DC coefficient per block
  std::array<std::vector<std::uint16_t>, 3> nearestDc_;  // its nearest level per precision
  struct DcCache {
    long bucket = 0;
    DcChoice choice;
  };
  std::array<DcCache, 3> dcCache_;  // the last chain search per precision
};

}  // namespace bootlume::encoder
