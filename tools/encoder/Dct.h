// The 8x8 two-dimensional DCT of MPEG-2 (orthonormal, raster order with the
// vertical frequency as row) and its inverse, both in double precision.
#pragma once

#include <array>
#include <cstdint>

namespace bootlume::encoder {

using Block = std::array<float, 64>;

// Forward transform of 8 rows of 8 samples, `stride` samples apart.
void ForwardDct(const std::uint8_t* samples, int stride, Block& coefficients);

// Inverse transform of dequantised coefficients, rounded to the nearest
// integer and clamped to 0..255 as an intra decoder does, into 8 rows
// `stride` samples apart. The precise inverse is within IEEE 1180 by a wide
// margin, so any conforming decoder lands within one step of it.
void InverseDct(const std::array<std::int32_t, 64>& coefficients, std::uint8_t* samples, int stride);

}  // namespace bootlume::encoder
