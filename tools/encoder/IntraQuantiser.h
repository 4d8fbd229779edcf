// Quantisation of intra blocks: DC by the intra DC precision, AC by a
// rate-distortion trellis over the run/level codes actually written.
#pragma once

#include <array>
#include <cstdint>

#include "tools/encoder/CodingTables.h"
#include "tools/encoder/Dct.h"

namespace bootlume::encoder {

// AC levels in scan order (index 0, the DC, unused).
using ScanLevels = std::array<std::int16_t, 64>;

struct AcCost {
  int bits = 0;            // run/level codes and end of block
  float distortion = 0;    // squared error of the AC coefficients
};

// Chooses the AC levels that minimise distortion + lambda * bits for
// quantiser_scale `scale` with the default intra matrix; every level stays
// within the escape range. `levels` may be null when only the cost matters.
AcCost QuantiseIntraAc(const Block& coefficients, int scale, double lambda, const AcTable& table, ScanLevels* levels,
                       const ScanOrder& scan = kZigzag);

// Cost of sending no AC coefficient at all.
AcCost ZeroAcCost(const Block& coefficients, const AcTable& table);

// Decoder's AC reconstruction of `level` at raster position `raster`.
inline std::int32_t DequantiseIntraAc(int level, int raster, int scale) {
  const std::int32_t magnitude = (2 * (level < 0 ? -level : level) * kDefaultIntraMatrix[static_cast<std::size_t>(raster)] * scale) / 32;
  const std::int32_t value = level < 0 ? -magnitude : magnitude;
  return value > 2047 ? 2047 : (value < -2048 ? -2048 : value);
}

// DC level for intra_dc_precision code 0..2 (8..10 bits) and its
// reconstruction.
inline int DcMultiplier(int precision) { return 8 >> precision; }
int QuantiseIntraDc(float dcCoefficient, int precision);

}  // namespace bootlume::encoder
