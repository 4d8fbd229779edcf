// The choices of one encoding of a still, as the rate search makes them and
// the picture writer writes them, with the size and distortion counted.
#pragma once

#include <cstdint>
#include <limits>
#include <vector>

namespace bootlume::encoder {

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
  double distortion = std::numeric_limits<double>::infinity();  // infinite: no plan
};

}  // namespace bootlume::encoder
