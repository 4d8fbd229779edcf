// The fixed tables of MPEG-2 intra coding: scan order, default intra
// quantiser matrix, quantiser scales, and the variable-length codes of intra
// DC sizes and AC run/level pairs (both intra VLC formats).
#pragma once

#include <array>
#include <bit>
#include <cstdint>

namespace bootlume::encoder {

// A variable-length code: `length` bits, right-aligned in `bits`.
struct Vlc {
  std::uint16_t bits = 0;
  std::uint8_t length = 0;  // 0: no code
};

// Scan orders: scan position -> raster index (8 * vertical + horizontal).
using ScanOrder = std::array<std::uint8_t, 64>;
extern const ScanOrder kZigzag;
extern const ScanOrder kAlternateScan;  // alternate_scan 1: vertical frequencies first

// Default intra quantiser matrix in raster order.
extern const std::array<std::uint8_t, 64> kDefaultIntraMatrix;

// quantiser_scale for quantiser_scale_code 1..31 (index 0 unused) with the
// linear (q_scale_type 0) and the non-linear (q_scale_type 1) mapping.
int QuantiserScale(int code, bool nonLinear);

// dct_dc_size codes for luminance and chrominance, sizes 0..11.
extern const std::array<Vlc, 12> kDcSizeLuma;
extern const std::array<Vlc, 12> kDcSizeChroma;

// dct_dc_size of a DC difference: the bit length of its magnitude.
inline int DcSize(int difference) {
  return 32 - std::countl_zero(static_cast<std::uint32_t>(difference < 0 ? -difference : difference));
}

// Intra AC coding: table zero (intra_vlc_format 0) or one (format 1).
inline constexpr int kMaxTableRun = 31;
inline constexpr int kMaxTableLevel = 40;
inline constexpr int kEscapeLength = 6 + 6 + 12;
inline constexpr int kMaxEscapeLevel = 2047;

struct AcTable {
  Vlc endOfBlock;
  Vlc escape;
  // Code of run/level without its sign bit; length 0 when the pair must be
  // escaped.
  std::array<std::array<Vlc, kMaxTableLevel + 1>, kMaxTableRun + 1> codes;
  // Bits of run/level with the sign bit, or of the escape: the cost model.
  std::array<std::array<std::uint8_t, kMaxTableLevel + 1>, kMaxTableRun + 1> lengths;

  // The same by level, then run (0..63): levels above kMaxTableLevel share
  // the all-escape row kMaxTableLevel + 1.
  std::array<std::array<std::uint8_t, 64>, kMaxTableLevel + 2> byLevel;

  int PairLength(int run, int level) const {  // level > 0
    return (run <= kMaxTableRun && level <= kMaxTableLevel) ? lengths[run][level] : kEscapeLength;
  }
  const std::uint8_t* LengthsByRun(int level) const {
    return byLevel[static_cast<std::size_t>(level <= kMaxTableLevel ? level : kMaxTableLevel + 1)].data();
  }
};

const AcTable& IntraAcTable(int intraVlcFormat);

}  // namespace bootlume::encoder
